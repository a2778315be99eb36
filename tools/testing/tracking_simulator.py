"""The simulated tracking program (tools/win/tracking_simulator.cpp) as the rig, the tests and the
tools start it: in a Wine session, with a log of its own, waited for until it serves.

Usage:
    tracker = TrackingSimulator(session, exe, ["--record", "..."], folder)
    tracker.requests()  # its log lines about requests
    tracker.stop()
"""

import time
from pathlib import Path

from wine_session import wait_until


class TrackingSimulator:
    def __init__(self, session, exe, args, folder, ready_within=20):
        self.session = session
        self.log_path = Path(folder) / f"tracker-{time.monotonic_ns()}.log"
        self.proc = session.spawn([exe, *map(str, args), "--log",
                                   session.windows_path(self.log_path)], name="tracker")
        if not wait_until(lambda: "ready" in self.log() or self.proc.poll() is not None,
                          timeout=ready_within) or self.proc.poll() is not None:
            raise RuntimeError("the tracking simulator did not become ready:\n" + self.log() +
                               session.output(self.proc))

    def log(self):
        try:
            return self.log_path.read_text(errors="replace")
        except FileNotFoundError:
            return ""

    def lines(self, word):
        """Its log lines with " word" in them, split at blanks."""
        return [line.split() for line in self.log().splitlines() if f" {word}" in line]

    def requests(self):
        """Its log lines about requests."""
        return [l for l in self.log().splitlines() if " request " in l]

    def running(self):
        return self.proc.poll() is None

    def windows_pid(self):
        return int(self.lines("ready")[0][-1])

    def stop(self):
        self.session.stop(self.proc)
