"""The whole station under Wine, for end-to-end tests, tools and the demo: a Wine session
(wine_session.py) with the simulated rotor controller on a pty as COM1, the simulated tracking
program serving over DDE, and vorkelDDE.exe, looked at and worked through the session's window
probe and the station's instruments.

Usage:
    with StationRig(build_dir, tracker=["--pass", "AO-7"]) as rig:
        rig.start_station()
        rig.press("chk_update")
        rig.line.wait_for(rig.line.commands)
Everything started is ended when the block ends.
"""

import json
import subprocess
import tempfile
from collections.abc import Mapping
from pathlib import Path

from rotor_line import RotorLine
from tracking_simulator import TrackingSimulator
from wine_session import WineSession, wait_until

TITLE = "Driver DDE VORKEL v1.0"
ERROR_TEXT = "Un error ha ocurrido..."
# The failure leads, so that a title bar of the window's normal width shows it.
FAILURE_TITLE = ERROR_TEXT + " - " + TITLE

# The about box's; its title is matched by its ASCII start.
BOX_TITLE = "Informaci"
ROTOR_PORT = 1


class ControlIds(Mapping):
    """Control ids by widget name for the window whose title holds `title`, as the running
    station's instruments read them from that window's own table: the exe is the one place they
    are given. Learned on first use, from the rig that asks or else the latest rig whose station
    runs, and then kept: every rig of a test program runs the same build."""

    def __init__(self, title):
        self.title = title
        self._ids = None

    def learn(self, rig):
        if self._ids is None:
            code, out = rig.probe("ask", self.title, "ids")
            lines = out.strip().splitlines()
            if code != 0 or not lines or not lines[-1].startswith("{"):
                raise RuntimeError(f"no widget table from the window titled {self.title!r} "
                                   f"(is it open?): {out.strip()}")
            self._ids = json.loads(lines[-1])
        return self._ids

    def _table(self):
        if self._ids is None:
            if StationRig.latest is None:
                raise RuntimeError(f"the ids of {self.title!r} are learned from a running "
                                   "station: start one first")
            self.learn(StationRig.latest)
        return self._ids

    def __getitem__(self, name):
        return self._table()[name]

    def __iter__(self):
        return iter(self._table())

    def __len__(self):
        return len(self._table())


IDS = ControlIds(TITLE)
BOX_IDS = ControlIds(BOX_TITLE)
# The widgets with a caption, by window: what the caption checks measure.
CAPTIONED = {TITLE: ["Label2", "Label3", "Label4", "Label5", "Opt_normal", "Opt_invertido",
                     "chk_update", "cmd_stop", "cmd_acerca"],
             BOX_TITLE: ["cmdOK", "lblTitle", "lblVersion", "lblDescription", "lblDisclaimer"]}
VK_TAB, VK_SPACE, VK_RETURN, VK_ESCAPE, VK_RIGHT = 0x09, 0x20, 0x0D, 0x1B, 0x27


class StationRig(WineSession):
    """tracker: the simulated tracking program's arguments (None: none is started). tracker_build:
    another build tree (the other bitness) whose tracking simulator serves the station; by
    default the station's own. controller: how the simulated rotor controller reads the line
    ("gs232", or "listen" to record only)."""

    latest = None  # the latest rig whose station runs, for ControlIds

    def __init__(self, build_dir, tracker=("--pass", "AO-7"), display=None, prefix=None,
                 wine_fonts=True, managed_windows=False, tracker_build=None,
                 controller="gs232"):
        super().__init__(build_dir, prefix=prefix, display=display, wine_fonts=wine_fonts,
                         managed_windows=managed_windows)
        self.tracker_build = Path(tracker_build).resolve() if tracker_build else self.build
        self.tracker_args = list(tracker) if tracker is not None else None
        self.controller = controller
        self.tracker = None
        self.station = None
        self.line = None
        self._lines = []
        self._workdir = None

    # -- lifetime -------------------------------------------------------------------------
    def __enter__(self):
        super().__enter__()
        self._workdir = Path(tempfile.mkdtemp(prefix="vorkel-rig-"))
        try:
            self.new_line()
            if self.tracker_args is not None:
                self.start_tracker(self.tracker_args)
        except BaseException:
            self.close()
            raise
        return self

    def close(self):
        if StationRig.latest is self:
            StationRig.latest = None
        # Windows programs first, so none is left writing to a pty that is going away.
        self.stop_programs()
        if self.line is not None:
            self.line.stop()
        super().close()
        for line in self._lines:
            line.remove_files()
        self._lines.clear()
        if self._workdir:
            subprocess.run(["rm", "-rf", str(self._workdir)])
            self._workdir = None

    # -- the rotor controller -------------------------------------------------------------
    def new_line(self, reset_on_open=None):
        """Replaces the controller with a fresh one and points COM1 at it; reset_on_open as
        RotorLine takes it."""
        if self.line is not None:
            self.line.stop()
        self.line = RotorLine(self.controller, reset_on_open).start()
        self._lines.append(self.line)
        self.set_com_port(ROTOR_PORT, self.line.path)
        return self.line

    def unplug(self):
        """As an adapter pulled out: the controller and its pty go, and COM1 leads nowhere, so
        that a held port fails at its next write and no new open finds another pty that took
        the same number meanwhile. new_line() plugs a fresh one in. Returns the old line."""
        line = self.line
        line.kill()
        self.point_port_at(None)
        return line

    def point_port_at(self, unix_path):
        """Points COM1 somewhere else (None: nowhere); new_line() points it back."""
        self.set_com_port(ROTOR_PORT, unix_path)

    # -- the tracking program -------------------------------------------------------------
    def start_tracker(self, args):
        """Starts the simulated tracking program and waits until it serves."""
        self.tracker = TrackingSimulator(self, self.exe("tracking_simulator", self.tracker_build),
                                         args, self._workdir)
        return self.tracker

    def stop_tracker(self):
        if self.tracker is not None:
            self.tracker.stop()

    def tracker_requests(self):
        """The simulated tracking program's log lines about requests."""
        return self.tracker.requests() if self.tracker is not None else []

    # -- the station ----------------------------------------------------------------------
    def serial_driver(self):
        """The stricter serial driver the station can be started with (tools/wine/
        serial_driver.c), or None where this build has none (the 32-bit station's)."""
        library = self.build / "tools" / "wine" / "serial_driver.so"
        return library if library.exists() else None

    def start_station(self, timeout=20, driver=None):
        """driver: a mode of the stricter serial driver ("flush-blocks", "flush-fails",
        "queue-stuck") for the station's COM1; None for Wine's own."""
        env = None
        if driver is not None:
            env = {"LD_PRELOAD": str(self.serial_driver()), "VORKEL_SERIAL_DRIVER": driver}
        # Its debug output (the reasons of failures) is kept: see failure_reasons().
        self.station = self.spawn([self.exe("vorkelDDE")], name="station",
                                  wine_debug="-all,warn+seh", env=env)
        if not wait_until(lambda: self.main_window(), timeout=timeout):
            raise RuntimeError("the station's window did not appear")
        StationRig.latest = self
        IDS.learn(self)  # now, while it surely answers: a test may hang it before a first use
        # The instruments' first question loads them into the station and sets up what they
        # keep: met now, before any figure is taken.
        self.resources()
        return self.station

    def ids(self, title=TITLE):
        """Control ids by widget name of the station's main window, or of the window titled
        title (open now, the first time it is asked)."""
        return {TITLE: IDS, BOX_TITLE: BOX_IDS}[title].learn(self)

    def failure_reasons(self):
        """The lines the station wrote with OutputDebugString, as Wine 8 shows them (channel
        seh, level warn): one per change of the reason its title reports a failure for."""
        text = self.output(self.station) if self.station is not None else ""
        return [line[line.index("vorkelDDE: "):].rstrip('"').replace("\\n", "")
                for line in text.splitlines() if ":OutputDebugString" in line]

    def station_pid(self):
        """The station's own Linux process, for /proc readings and signals."""
        return self.program_pid(self.station)

    def tracker_pid(self):
        return self.program_pid(self.tracker.proc)

    def station_running(self):
        return self.station is not None and self.station.poll() is None

    # -- looking and working --------------------------------------------------------------
    def answer(self, *args):
        """The probe's one-line JSON answer to a question, or None when it has none."""
        code, out = self.probe(*args)
        lines = out.strip().splitlines()
        return json.loads(lines[-1]) if code == 0 and lines and lines[-1].startswith("{") \
            else None

    def windows(self):
        code, out = self.probe("windows")
        return [json.loads(l) for l in out.splitlines() if l.startswith("{")]

    def main_window(self):
        for w in self.windows():
            if TITLE in w["title"]:
                return w
        return None

    def widgets(self, title=TITLE):
        code, out = self.probe("widgets", title)
        found = {}
        names = {v: k for k, v in self.ids(title).items()}
        for l in out.splitlines():
            if l.startswith("{"):
                w = json.loads(l)
                found[names.get(w["id"], w["id"])] = w
        return found

    def text(self, name):
        return self.widgets()[name]["text"]

    def press(self, name, title=TITLE):
        return self.probe("press", title, self.ids(title).get(name, name))[0] == 0

    def font(self, name, title=TITLE):
        """A widget's font: weight and height as asked for, the face and the em height (pixels)
        it is realized in, as the station's own process sees them."""
        return self.answer("ask", title, "font", self.ids(title)[name])

    def face(self, name, title=TITLE):
        return self.font(name, title)["face"]

    def caption(self, name, title=TITLE):
        """What a widget's caption takes and the room its widget leaves, in pixels."""
        return self.answer("ask", title, "caption", self.ids(title)[name])

    def captions(self):
        """Face and caption measures of every captioned widget of both windows (the about
        box is opened for it and closed again), one line each for the test log."""
        self.press("cmd_acerca")
        if not wait_until(lambda: any(w["title"].startswith(BOX_TITLE) for w in self.windows()),
                          timeout=10):
            raise RuntimeError("the about box did not open")
        found = {}
        try:
            for title, names in CAPTIONED.items():
                for name in names:
                    found[name] = dict(self.caption(name, title), face=self.face(name, title))
        finally:
            self.probe("close", BOX_TITLE)
            wait_until(lambda: not any(w["title"].startswith(BOX_TITLE)
                                       for w in self.windows()), timeout=10)
        for name, m in found.items():
            print(f"caption {name}: {m['face']}, {m['width']}x{m['height']} px "
                  f"in {m['room']}x{m['roomHeight']}", flush=True)
        return found

    def icon(self):
        """The main window's icons: "shows" is "warning" when both are the system's warning
        sign, "own" when both are the station's own, "other" otherwise; the handles beside."""
        return self.answer("ask", TITLE, "icons")

    def resources(self):
        """What the station's process holds, as Windows and its instruments count it."""
        return self.answer("resources", TITLE)

    def title_room(self, text):
        """The pixels text takes in the caption font, and the room the main window's title bar
        leaves for its title."""
        return self.answer("title", TITLE, text)

    def keys(self, *vks, title=TITLE):
        return self.probe("keys", title, *vks)[0] == 0

    def focus(self, title=TITLE):
        """The id of the widget with the keyboard focus, and whether the window is active; no
        focus and not active while no such window is open."""
        return self.answer("focus", title) or {"focus": None, "active": False}

    def click(self, x, y):
        return self.probe("click", x, y)[0] == 0

    # -- what the screen shows ------------------------------------------------------------
    def screenshot(self, path):
        """The whole virtual screen as a PNG."""
        subprocess.run(["import", "-window", "root", "-depth", "8", str(path)], env=self.env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return Path(path)

    def dominant_ink(self, path, rect, inset=3):
        """The commonest colour of a screen rectangle of a screenshot, less its edges (inset
        pixels) and its commonest colour, the background: the colour of the text drawn there,
        whether the face is a bitmap one or an anti-aliased TrueType one."""
        left, top, right, bottom = rect[0] + inset, rect[1] + inset, rect[2] - inset, rect[3] - inset
        out = subprocess.check_output(
            ["convert", str(path), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
             "-depth", "8", "-format", "%c", "histogram:info:-"], text=True)
        counts = []
        for line in out.splitlines():
            if ":" in line and "(" in line:
                count = int(line.split(":")[0])
                rgb = line.split("(")[1].split(")")[0].split(",")
                counts.append((count, tuple(int(float(v)) for v in rgb[:3])))
        counts.sort(reverse=True)
        return counts[1][1] if len(counts) > 1 else None

    def ink_extent(self, path, rect, colour):
        """The columns, from rect's left edge, of the leftmost and rightmost pixel of one colour
        within a screen rectangle of a screenshot; None when there is none."""
        left, top, right, bottom = rect
        out = subprocess.check_output(
            ["convert", str(path), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
             "+repage", "-fill", "white", "+opaque", "rgb({},{},{})".format(*colour),
             "-format", "%@", "info:"], text=True, stderr=subprocess.DEVNULL)
        size, _, offset = out.strip().partition("+")
        width, first = int(size.split("x")[0]), int(offset.split("+")[0])
        return (first, first + width - 1) if width > 0 else None  # 0x0: none of that colour

    def region(self, path, rect):
        """The pixels of a screen rectangle (left, top, right, bottom) of a screenshot, as rows
        of (red, green, blue)."""
        left, top, right, bottom = rect
        raw = subprocess.check_output(
            ["convert", str(path), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
             "+repage", "-depth", "8", "rgb:-"])
        pixels = [tuple(raw[k:k + 3]) for k in range(0, len(raw), 3)]
        width = right - left
        return [pixels[k:k + width] for k in range(0, len(pixels), width)]

    def pixel(self, path, x, y):
        """The (red, green, blue) of one pixel of a screenshot."""
        out = subprocess.check_output(
            ["convert", str(path), "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"], text=True)
        rgb = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
        return tuple(int(float(v)) for v in rgb[:3])
