"""The simulated rotor controller (tools/rotor_simulator.py) as tests use it.

Usage:
    with RotorLine() as line:
        wine.set_com_port(1, line.path)
        ... let the station send ...
        line.wait_for(lambda: line.commands())
        assert line.received() == b"W123 045\\r"
        assert line.rotor() == (123, 45)
        assert line.settings()["baud"] == 9600
The simulator runs as its own process and is stopped when the block ends. It reads the line as
a GS-232 controller by default; RotorLine(controller="listen") only records.
"""

import json
import math
import os
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from wine_session import wait_until

SIMULATOR = Path(__file__).resolve().parent.parent / "rotor_simulator.py"
COMMAND_EVENTS = ("point", "stop", "refused", "ignored")


def pointed(azimuth, elevation):
    """Where the station must point the rotor for a position given as numbers or as the texts
    its window shows: whole degrees, the azimuth turned into 0..359, the elevation held to
    0..180 (below the horizon the antenna waits flat)."""
    def whole(value):
        return math.floor(float(value.strip() or 0) if isinstance(value, str) else value)
    return whole(azimuth) % 360, min(max(whole(elevation), 0), 180)


def point_command(azimuth, elevation):
    """The bytes the rotor must receive for that position: GS-232's "Waaa eee" and CR."""
    return b"W%03d %03d\r" % pointed(azimuth, elevation)


class RotorLine:
    """reset_on_open: (boot_ms, guard_ms) for a controller whose board resets at every open of
    its port; None for one that does not."""

    def __init__(self, controller="gs232", reset_on_open=None):
        self.controller = controller
        self.reset_on_open = reset_on_open
        self.path = None
        self._proc = None
        self._dir = Path(tempfile.mkdtemp(prefix="vorkel-rotor-"))
        self.log_path = self._dir / "rotor.log"

    # -- lifetime -------------------------------------------------------------------------
    def start(self):
        board = []
        if self.reset_on_open:
            board = ["--reset-on-open", "--boot-ms", str(self.reset_on_open[0]),
                     "--guard-ms", str(self.reset_on_open[1])]
        self._proc = subprocess.Popen(
            [sys.executable, str(SIMULATOR), "--quiet", "--stop-on-eof", "--log",
             str(self.log_path), "--controller", self.controller, *board],
            # The pipe closes when this process ends, however it ends: the simulator goes too.
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
            start_new_session=True)  # so that the pty becomes its controlling terminal
        first = self._proc.stdout.readline().split()
        if len(first) != 2 or first[0] != "pty":
            self.stop()
            raise RuntimeError(f"rotor simulator did not start: {first!r}")
        self.path = first[1]
        return self

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def stop(self, timeout=5):
        """Ends the simulator (SIGTERM, so its log closes with "stopped"); returns its exit code."""
        proc, self._proc = self._proc, None
        if proc is None:
            return None
        if proc.poll() is None:
            os.kill(proc.pid, signal.SIGCONT)  # in case a test left it paused
            proc.terminate()
            try:
                proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        proc.stdin.close()
        proc.stdout.close()
        return proc.returncode

    def kill(self):
        """Ends the simulator at once, as a crash would: its pty goes with it."""
        if self._proc is not None and self._proc.poll() is None:
            os.kill(self._proc.pid, signal.SIGKILL)
            self._proc.wait()

    def remove_files(self):
        for item in self._dir.iterdir():
            item.unlink()
        self._dir.rmdir()

    # -- what arrived ---------------------------------------------------------------------
    def events(self, *kinds):
        """Every event logged so far, or only those of the given kinds."""
        if not self.log_path.exists():
            return []
        events = []
        with open(self.log_path, encoding="utf-8") as log:
            for line in log:
                if line.endswith("\n"):  # a line still being written is read next time
                    events.append(json.loads(line))
        return [e for e in events if not kinds or e["event"] in kinds]

    def received(self):
        """All bytes received, in order."""
        return b"".join(bytes.fromhex(e["hex"]) for e in self.events("bytes"))

    def commands(self):
        """Each command as the controller read it: events "point" (azimuth, elevation), "stop",
        "refused" (why) and "ignored" (a board's guard time after it booted), each with where the
        rotor points after it ("rotor")."""
        return self.events(*COMMAND_EVENTS)

    def refused(self):
        return self.events("refused")

    def rotor(self):
        """Where the rotor points now, as (azimuth, elevation); (0, 0) before any command."""
        commands = self.commands()
        return tuple(commands[-1]["rotor"]) if commands else (0, 0)

    def sessions(self):
        """The bytes of each time the other end had the line open, one entry per open."""
        sessions, current = [], None
        for event in self.events("opened", "bytes", "closed"):
            if event["event"] == "opened":
                current = bytearray()
            elif event["event"] == "bytes":
                current += bytes.fromhex(event["hex"])
            elif current is not None:
                sessions.append(bytes(current))
                current = None
        return sessions

    def settings(self):
        """The line settings last seen on the pty, or None before the first report."""
        found = self.events("settings")
        return found[-1] if found else None

    def wait_for(self, predicate, timeout=10.0):
        return wait_until(predicate, timeout=timeout)

    def wait_for_bytes(self, count, timeout=10.0):
        """Waits until at least count bytes have arrived; returns all received."""
        wait_until(lambda: len(self.received()) >= count, timeout=timeout)
        return self.received()

    def wait_quiet(self, quiet=0.3, timeout=10.0):
        """Waits until no byte has arrived for `quiet` seconds; returns all received."""
        deadline = time.monotonic() + timeout
        count, since = -1, time.monotonic()
        while time.monotonic() < deadline:
            now_count = len(self.received())
            if now_count != count:
                count, since = now_count, time.monotonic()
            elif time.monotonic() - since >= quiet:
                break
            time.sleep(0.02)
        return self.received()

    def wait_closed(self, timeout=10.0):
        """Waits until nobody holds the line; True if so."""
        def closed():
            states = self.events("opened", "closed")
            return not states or states[-1]["event"] == "closed"
        return wait_until(closed, timeout=timeout)

    # -- the line itself ------------------------------------------------------------------
    def holders(self):
        """PIDs of the processes that now have the pty open (its far end, seen from Linux)."""
        pids = []
        for proc in Path("/proc").iterdir():
            if not proc.name.isdigit():
                continue
            try:
                for fd in (proc / "fd").iterdir():
                    if os.readlink(fd) == self.path:
                        pids.append(int(proc.name))
                        break
            except OSError:
                continue  # gone, or not ours to look at
        return pids

    def pause(self):
        """Stops the simulator reading, as a controller that has hung would."""
        os.kill(self._proc.pid, signal.SIGSTOP)

    def resume(self):
        os.kill(self._proc.pid, signal.SIGCONT)

    def fill(self, settle=0.1):
        """Fills the line's buffers towards the controller with CRs (which it ignores), so that
        the next write blocks while the simulator is paused. Returns the number written."""
        fd = os.open(self.path, os.O_RDWR | os.O_NONBLOCK | os.O_NOCTTY)
        total = 0
        try:
            # The kernel moves bytes on between its buffers a moment later: fill until nothing
            # more goes in even after that.
            while True:
                written = 0
                try:
                    while True:
                        written += os.write(fd, b"\r" * 256)
                except BlockingIOError:
                    pass
                total += written
                if written == 0:
                    return total
                time.sleep(settle)
        finally:
            os.close(fd)
