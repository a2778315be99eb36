"""What the fault tests and the soak read about a running station: the window seen from outside
every 100 ms, the tracking program's requests, the bytes that reached the rotor, and the
resources the station's process holds. All times are Unix seconds: the window probe, the
simulated tracking program (through Wine) and the rotor simulator read the same clock.

Usage:
    watch = Watch(rig)                  # rig: a StationRig whose station runs
    ... faults ...
    samples = watch.stop()
    assert all(s.answers for s in samples)
"""

import json
import os
import re
import statistics
import time
from dataclasses import dataclass, field
from pathlib import Path

from rotor_line import point_command
from station_rig import ERROR_TEXT, FAILURE_TITLE, TITLE
from wine_session import wait_until

# A window that takes longer than this to handle a message counts as hung.
ANSWER_LIMIT_MS = 1500.0
WATCHED = ("Label1", "txt_nombre", "txt_azi", "txt_ele", "txt_iazi", "txt_iele")
BOLD, REGULAR = 700, 400

# Whole rotor commands as the station writes them: W, three-digit azimuth, blank, three-digit
# elevation, CR; or S and CR.
POINT = rb"W\d{3} \d{3}\r"
STOP = rb"S\r"


@dataclass
class Sample:
    unix: float  # when the last of what it shows was read
    window: bool  # the station's main window was there
    began: float = 0.0  # when the first of it was read
    ping: float | None = None  # milliseconds it took to handle WM_NULL; None: no answer
    answered: bool = False  # it also answered for its title
    title: str | None = None
    icon: str | None = None  # "warning", "own" or "other" (see window_probe's icon)
    weight: int | None = None  # Label1's font weight
    texts: dict = field(default_factory=dict)  # widget name -> text
    torn: bool = False  # a tick ran while the sample was taken

    @property
    def answers(self):
        return (self.window and self.answered and self.ping is not None
                and self.ping < ANSWER_LIMIT_MS)

    @property
    def failing(self):
        """Shows a failure: in the title, its icons and Label1."""
        return (self.title == FAILURE_TITLE and self.icon == "warning"
                and self.texts.get("Label1") == ERROR_TEXT)

    @property
    def working(self):
        return (self.title == TITLE and self.icon == "own"
                and self.texts.get("Label1") != ERROR_TEXT)

    @staticmethod
    def parse(line, names):
        raw = json.loads(line)
        sample = Sample(unix=raw["unix"], window=raw["window"], began=raw.get("began", raw["unix"]))
        if not sample.window:
            return sample
        sample.ping = raw["ping"] if raw["ping"] >= 0 else None
        sample.answered = raw["answered"]
        if sample.answered:
            sample.title = raw["title"]
            sample.icon = raw["icon"]
            sample.weight = raw["weight"]
            sample.texts = {names[int(k)]: v for k, v in raw["texts"].items()}
            sample.torn = raw["torn"]
        return sample


class Watch:
    """window_probe's watch beside the station: one sample of the main window every 100 ms."""

    def __init__(self, rig, names=WATCHED, seconds=3600):
        self._rig = rig
        self._names = {rig.ids()[n]: n for n in names}
        self.proc = rig.spawn([rig.exe("window_probe"), "watch", TITLE, seconds, *self._names],
                              name="watch", env=rig.instruments_env())
        self._samples = None

    def samples(self):
        if self._samples is not None:
            return self._samples
        found = []
        for line in self._rig.output(self.proc).splitlines():
            if line.startswith("{"):
                try:
                    found.append(Sample.parse(line, self._names))
                except ValueError:
                    pass  # the line still being written
        return found

    def stop(self):
        """Ends the watch; returns every sample taken."""
        if self._samples is None:
            self._rig.stop(self.proc)
            self._samples = self.samples()
        return self._samples

    def save(self, path):
        with open(path, "w", encoding="utf-8") as out:
            for s in self.samples():
                out.write(json.dumps(s.__dict__) + "\n")


def between(samples, start, end):
    """The samples read wholly between start and end."""
    return [s for s in samples if start <= s.began and s.unix < end]


# --- the tracking program's side ------------------------------------------------------------

REQUEST = re.compile(r"^\S+ request (?P<n>\d+) (?P<what>answered|unanswered|refused)"
                     r"(?: (?P<bytes>\d+) bytes received (?P<received>[\d.]+))?"
                     r'(?: record "(?P<record>.*)")?$')


# The position in a record of the tracking program's form (SN... AZ... EL... DN... UP...).
RECORD_POSITION = re.compile(rb"AZ(\S+) EL(\S+) ")


def unescape(text):
    """A record as the simulator logs it (--log-records) back to its bytes."""
    return re.sub(rb"\\x([0-9A-F]{2})", lambda m: bytes([int(m[1], 16)]),
                  text.encode("latin-1"))


def requests(rig):
    """The requests the simulated tracking program saw, in order: dicts with n, what, received
    (Unix seconds, for answered ones), bytes and record (bytes, with --log-records)."""
    found = []
    if rig.tracker is None:
        return found
    for line in rig.tracker_requests():
        match = REQUEST.match(line)
        if not match:
            continue
        entry = {"n": int(match["n"]), "what": match["what"]}
        if match["received"]:
            entry["received"] = float(match["received"])
            entry["bytes"] = int(match["bytes"])
        if match["record"] is not None:
            entry["record"] = unescape(match["record"])
        found.append(entry)
    return found


def answered(rig):
    return [r for r in requests(rig) if r["what"] == "answered"]


# --- the rotor's side -----------------------------------------------------------------------

def malformed(line, since=0.0):
    """Events of the rotor simulator that show a cut, garbled or refused command after
    `since`."""
    return [e for e in line.events("refused", "unfinished") if e["time"] >= since]


def received_since(line, since=0.0):
    return b"".join(bytes.fromhex(e["hex"]) for e in line.events("bytes") if e["time"] >= since)


def whole_commands_only(data, filler=b""):
    """True if the bytes are nothing but whole commands (and filler bytes between them)."""
    alternatives = [POINT, STOP] + ([re.escape(filler)] if filler else [])
    return re.fullmatch(rb"(?:" + b"|".join(alternatives) + rb")*", data) is not None


def tick_report(requests, events, stop_time=float("inf")):
    """Pairs every tick (a request answered before Stop, whose record the tracking program
    logged) with the commands that followed it, up to the next tick: missed, repeated, and not
    the command for that tick's record."""
    ticks = [r for r in requests if r["received"] < stop_time]
    points = [e for e in events if e["event"] in ("point", "refused")]
    report = {"ticks": len(ticks), "missed": [], "repeated": [], "unexpected": []}
    for index, tick in enumerate(ticks):
        end = ticks[index + 1]["received"] if index + 1 < len(ticks) else stop_time
        sent = [e for e in points if tick["received"] <= e["time"] < end]
        if not sent:
            report["missed"].append(tick["n"])
            continue
        if len(sent) > 1:
            report["repeated"].append(tick["n"])
        azimuth, elevation = RECORD_POSITION.search(tick["record"]).groups()
        expected = point_command(azimuth.decode(), elevation.decode())
        text = sent[0]["text"].replace("\\r", "\r").encode()
        if text != expected:
            report["unexpected"].append({"tick": tick["n"], "sent": text.decode(),
                                         "expected": expected.decode()})
    periods = [b["received"] - a["received"] for a, b in zip(ticks, ticks[1:])]
    report["period_ms"] = {"median": 1000 * statistics.median(periods),
                           "worst": 1000 * max(periods), "least": 1000 * min(periods)}
    return report


# --- resources ------------------------------------------------------------------------------

def linux_status(pid):
    """VmRSS and VmData (KiB), threads and open file descriptors of a Linux process."""
    status = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        key, _, value = line.partition(":")
        status[key] = value.split()
    return {"rss_kib": int(status["VmRSS"][0]), "data_kib": int(status["VmData"][0]),
            "threads": int(status["Threads"][0]), "fds": len(os.listdir(f"/proc/{pid}/fd"))}


def wineserver_pid(prefix):
    """The PID of the wineserver serving a prefix, or None."""
    wanted = f"WINEPREFIX={Path(prefix).resolve()}".encode()
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            if b"wineserver" in (proc / "cmdline").read_bytes() and \
                    wanted in (proc / "environ").read_bytes().split(b"\0"):
                return int(proc.name)
        except OSError:
            continue
    return None


def resources(rig):
    """What the station's process holds, seen from Windows (the window probe and the station's
    instruments) and from Linux (its process and the wineserver's). Read between two ticks when
    the tracking program answers: a reading inside a tick would count what the tick works with
    until it ends."""
    if rig.tracker is not None and rig.tracker.running():
        before = len(answered(rig))
        if wait_until(lambda: len(answered(rig)) > before, timeout=2.5):
            time.sleep(0.25)  # the tick that asked has shown its record and sent its command
    windows = rig.resources()
    if windows is None:
        raise RuntimeError("no resource figures from the station")
    figures = {"windows": windows}
    figures["station"] = linux_status(rig.station_pid())
    server = wineserver_pid(rig.prefix)
    figures["wineserver"] = linux_status(server) if server else None
    return figures


# What the fault tests and the soak compare from one reading to the next. USER objects other
# than windows are not among them: Wine does not count them.
RELIED_ON = ("handles", "threads", "windows", "heap_bytes", "heap_blocks", "gdi_objects")


def unavailable(figures):
    """The counts of a resources() reading that could not be taken (-1): a check on them would
    check nothing."""
    return [name for name in RELIED_ON if figures["windows"].get(name, -1) < 0]
