"""The real vorkelDDE.exe under Wine on Xvfb, with the simulated tracking program and rotor:
what the operator sees and what reaches the rotor."""

import json
import random
from collections import Counter
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "testing"))
from driver_args import run_tests, test_arguments
from rotor_line import point_command, pointed
from station_rig import (BOX_TITLE, ERROR_TEXT, FAILURE_TITLE, IDS, TITLE, VK_RETURN, VK_RIGHT,
                         VK_SPACE, VK_TAB, StationRig)
from station_watch import RECORD_POSITION, answered
from wine_session import wait_until

BUILD = None
ARTIFACTS = None
WORKED_EXAMPLE = "aaSAT aa123.4 aa45.6 aa145.95 aa435.1zz"
BELOW_HORIZON = "aaSAT aa7 aa-5.6 aa1 aa2zz"
# A satellite rising from below the horizon, its azimuth crossing north, up over the zenith and
# down again: (azimuth, elevation) as the tracking program writes them.
RISING_PASS = [("341.7", "-3.2"), ("350.2", "-0.4"), ("359.96", "-0.0"), ("0.4", "0.0"),
               ("8.9", "0.6"), ("24.5", "12.5"), ("79.9", "45.6"), ("179.5", "89.9"),
               ("180.0", "90.0"), ("255.3", "33.1"), ("263.0", "1.2"), ("266.4", "-2.7")]
GREEN = (144, 166, 144)
INITIAL_TEXTS = {"txt_nombre": "Nombre", "txt_azi": "Azimuth", "txt_ele": "Elevacion",
                 "txt_iazi": "Azimut espejo", "txt_iele": "Elevacion espejo",
                 "txt_down": "Frec down", "txt_up": "Frec up", "Label1": "Label1"}


def rig(tracker, wine_fonts=True):
    return StationRig(BUILD, tracker=tracker, wine_fonts=wine_fonts)


def assert_captions_fit(test, rig, not_in_design_face=()):
    """Every caption of both windows, measured in the station's process in the font it is drawn
    in, fits its widget, and that font is the real "MS Sans Serif" but for the captions named,
    whose size it has not at this DPI."""
    for name, m in rig.captions().items():
        with test.subTest(caption=name):
            if name in not_in_design_face:
                test.assertNotEqual(m["face"], "MS Sans Serif")
            else:
                test.assertEqual(m["face"], "MS Sans Serif")
            test.assertLessEqual(m["width"], m["room"])
            test.assertLessEqual(m["height"], m["roomHeight"])


def client_origin(rig):
    """Screen position of the main window's client area (no window manager: no title bar)."""
    window = rig.main_window()
    left, top, right, bottom = window["rect"]
    width, height = window["client"]
    border = (right - left - width) // 2
    return left + border, bottom - border - height


def inside(rect, origin):
    return rect[0] - origin[0], rect[1] - origin[1], rect[2] - origin[0], rect[3] - origin[1]


# Where Wine's title bar shows the icon (the small icon and 2 pixels), and the first pixels of
# the title after it: a failure and a working station must differ in both.
ICON_WIDTH, TITLE_LEAD = 18, 64


def title_bar(rig, name):
    """A screenshot's pixels of the main window's icon and of the start of its title, with the
    title and the icons the window gives."""
    shot = rig.screenshot(ARTIFACTS / f"{name}.png")
    window = rig.main_window()
    left, top, right, bottom = window["rect"]
    width, height = window["client"]
    border = (right - left - width) // 2
    x, y, caption_bottom = left + border, top + border, bottom - border - height
    return {"title": window["title"], "icon": rig.icon()["shows"],
            "icon_pixels": rig.region(shot, (x, y, x + ICON_WIDTH, caption_bottom)),
            "lead": rig.region(shot, (x + ICON_WIDTH, y, x + ICON_WIDTH + TITLE_LEAD,
                                      caption_bottom))}


def assert_title_bar_tells(test, failing, working):
    """The failing window's title and icons say so; the working one's do not; and the pixels of
    its title bar differ from the working one's where the icon and the title's start are."""
    test.assertEqual((failing["title"], failing["icon"]), (FAILURE_TITLE, "warning"))
    test.assertEqual((working["title"], working["icon"]), (TITLE, "own"))
    changed = lambda a, b: sum(p != q for ra, rb in zip(a, b) for p, q in zip(ra, rb))
    background = lambda rows: Counter(p for row in rows for p in row).most_common(1)[0][0]
    # The same caption colour (the same activation) in both: what differs is what is drawn on it.
    test.assertEqual(background(failing["lead"]), background(working["lead"]))
    test.assertGreaterEqual(changed(failing["icon_pixels"], working["icon_pixels"]), 30)
    test.assertGreaterEqual(changed(failing["lead"], working["lead"]), 40)


class Fonts(unittest.TestCase):
    """Run first of the Windows-side tests: which face the station's widgets are drawn in here,
    so that a machine that differs shows it in the log and not as a colour or size mismatch."""

    def test_widgets_drawn_in_the_real_ms_sans_serif_where_it_has_their_size(self):
        with rig(None) as r:
            r.start_station()
            faces = {name: r.face(name) for name in IDS if not name.startswith("Frame")}
            print(f"faces of the station's widgets: {faces}", flush=True)
            # Wine's own "MS Sans Serif" comes in 8, 10 and 12 pt only: the position values,
            # 13.5 pt, are drawn at their size in the nearest face that has it.
            values = {faces.pop("txt_azi"), faces.pop("txt_ele")}
            self.assertEqual(set(faces.values()), {"MS Sans Serif"}, faces)
            self.assertEqual(len(values), 1, values)
            self.assertNotIn("MS Sans Serif", values)


class OneStation(unittest.TestCase):
    """One station for all of a class's tests, its tracking program serving TRACKER's record,
    shown once before the first test."""

    TRACKER = ["--record", WORKED_EXAMPLE]

    @classmethod
    def setUpClass(cls):
        cls.rig = rig(cls.TRACKER)
        cls.rig.__enter__()
        cls.rig.start_station()
        wait_until(lambda: cls.rig.text("txt_iele") == " 134.4", timeout=10)

    @classmethod
    def tearDownClass(cls):
        cls.rig.__exit__(None, None, None)


class WorkedExample(OneStation):
    """The tracking program serves one fixed record; the station shows it and points the rotor."""

    def test_window_at_start_up(self):
        window = self.rig.main_window()
        self.assertEqual(window["title"], TITLE)
        self.assertEqual(window["client"], [217, 296])  # 3255 x 4440 twips at 96 DPI
        self.assertEqual(window["rect"][1], 0)  # top of the screen
        self.assertTrue(window["topmost"])
        WS_MAXIMIZEBOX, WS_MINIMIZEBOX, WS_THICKFRAME = 0x10000, 0x20000, 0x40000
        self.assertFalse(window["style"] & WS_MAXIMIZEBOX)
        self.assertTrue(window["style"] & WS_MINIMIZEBOX)
        self.assertTrue(window["style"] & WS_THICKFRAME)

    def test_one_tick_fills_every_field(self):
        texts = {name: w["text"] for name, w in self.rig.widgets().items()}
        self.assertEqual(texts["Label1"], WORKED_EXAMPLE)
        self.assertEqual(texts["txt_nombre"], "SAT")
        self.assertEqual(texts["txt_azi"], "123.4")
        self.assertEqual(texts["txt_ele"], "45.6")
        self.assertEqual(texts["txt_down"], "145.95")
        self.assertEqual(texts["txt_up"], "435.1")
        self.assertEqual(texts["txt_iazi"], " 303.4")
        self.assertEqual(texts["txt_iele"], " 134.4")

    def test_widgets_fonts_and_colours(self):
        widgets = self.rig.widgets()
        origin = client_origin(self.rig)
        # The frames hold their widgets. (Twips to pixels: the about box's in-process tests.)
        self.assertEqual(widgets["txt_azi"]["parent"], IDS["Frame1"])
        self.assertEqual(widgets["txt_nombre"]["parent"], IDS["Frame3"])
        self.assertEqual(widgets["txt_up"]["parent"], IDS["Frame2"])
        asked = lambda name: {k: self.rig.font(name)[k] for k in ("weight", "height")}
        self.assertEqual(asked("txt_nombre"), {"weight": 700, "height": 13})
        self.assertEqual(asked("txt_azi"), {"weight": 400, "height": 18})
        self.assertEqual(asked("cmd_stop"), {"weight": 400, "height": 11})

        shot = self.rig.screenshot(ARTIFACTS / "worked-example.png")
        self.assertEqual(self.rig.pixel(shot, origin[0] + 3, origin[1] + 3), GREEN)
        # The strip between Frame1 and the option buttons shows Label1's green, not its text.
        self.assertEqual(self.rig.pixel(shot, origin[0] + 100, origin[1] + 155), GREEN)
        self.assertEqual(self.rig.dominant_ink(shot, widgets["txt_nombre"]["rect"]), (0, 0, 255))
        self.assertEqual(self.rig.dominant_ink(shot, widgets["txt_ele"]["rect"]), (0, 0, 0))

    def test_every_caption_fits_at_96_dpi(self):
        assert_captions_fit(self, self.rig)

    def test_static_texts_lie_beneath_the_other_widgets_of_their_container(self):
        containers = {}
        for name, w in self.rig.widgets().items():
            containers.setdefault(w["parent"], []).append((w["z"], w["class"], name))
        self.assertEqual(len(containers), 4)  # the window and its three frames
        for parent, stack in containers.items():
            stack.sort()
            kinds = [cls == "Static" for _, cls, _ in stack]
            self.assertEqual(kinds, sorted(kinds), f"top to bottom in {parent}: {stack}")
        # Tab order is the stacking order of the rest: unchanged.
        window = sorted((w["z"], n) for n, w in self.rig.widgets().items() if w["parent"] == 0)
        self.assertEqual([n for _, n in window],
                         ["Frame1", "Frame2", "Opt_normal", "Opt_invertido", "chk_update",
                          "Frame3", "cmd_stop", "cmd_acerca", "Label1"])

    def test_each_window_reports_every_widget_it_has_once(self):
        # The tests name widgets by the ids each window reports from its own table: that table
        # must give every widget the window has, each under one name, and nothing else.
        self.rig.press("cmd_acerca")
        self.assertTrue(wait_until(lambda: self.rig.focus(BOX_TITLE)["active"], timeout=10))
        try:
            for title in (TITLE, BOX_TITLE):
                with self.subTest(window=title):
                    shown = [json.loads(l)["id"] for l in self.rig.probe("widgets", title)[1]
                             .splitlines() if l.startswith("{")]
                    self.assertEqual(sorted(self.rig.ids(title).values()), sorted(shown))
        finally:
            self.rig.probe("close", BOX_TITLE)
            wait_until(lambda: not any(w["title"].startswith(BOX_TITLE)
                                       for w in self.rig.windows()), timeout=10)

    def test_focus_comes_back_with_the_window(self):
        self.rig.press("cmd_acerca")  # another window to switch to
        self.assertTrue(wait_until(lambda: self.rig.focus(BOX_TITLE)["active"], timeout=10))
        try:
            self.rig.keys()  # the main window forward, the focus onto chk_update
            while self.rig.focus()["focus"] != IDS["chk_update"]:
                self.rig.keys(VK_TAB)
            self.rig.keys(title=BOX_TITLE)  # away to the about box
            self.assertTrue(wait_until(lambda: self.rig.focus(BOX_TITLE)["active"], timeout=5))
            self.rig.keys()  # and back, by activation alone
            self.assertEqual(self.rig.focus(), {"focus": IDS["chk_update"], "active": True})
            self.rig.keys(VK_SPACE)  # works at once: no click first
            self.assertTrue(wait_until(lambda: self.rig.widgets()["chk_update"]["checked"], 3))
        finally:
            if self.rig.widgets()["chk_update"]["checked"]:
                self.rig.press("chk_update")
            self.rig.probe("close", BOX_TITLE)
            wait_until(lambda: not any(w["title"].startswith(BOX_TITLE)
                                       for w in self.rig.windows()), timeout=10)

    def test_text_boxes_take_no_focus_while_the_controls_work(self):
        for name, w in self.rig.widgets().items():
            if name.startswith("Frame"):
                self.assertFalse(w["enabled"], name)
        # A click into a value field leaves the focus where it was.
        azimuth = self.rig.widgets()["txt_azi"]["rect"]
        self.rig.keys()  # bring the window forward
        before = self.rig.focus()["focus"]
        self.rig.click((azimuth[0] + azimuth[2]) // 2, (azimuth[1] + azimuth[3]) // 2)
        self.assertEqual(self.rig.focus()["focus"], before)
        # Tab runs through the selected option, the check box and the two buttons only.
        seen = []
        for _ in range(5):
            self.rig.keys(VK_TAB)
            seen.append(self.rig.focus()["focus"])
        cycle = [IDS[n] for n in ("chk_update", "cmd_stop", "cmd_acerca", "Opt_normal")]
        self.assertEqual(set(seen), set(cycle), seen)  # wherever the focus started
        for a, b in zip(seen, seen[1:]):
            self.assertEqual(cycle[(cycle.index(a) + 1) % len(cycle)], b, seen)

    def test_enlarging_the_window_moves_nothing(self):
        origin = client_origin(self.rig)
        before = {n: inside(w["rect"], origin) for n, w in self.rig.widgets().items()}
        window = self.rig.main_window()
        width = window["rect"][2] - window["rect"][0]
        height = window["rect"][3] - window["rect"][1]
        try:
            # What is tested is the layout, not the window system's delivery of a resize sent
            # from another process: one that did not take within 2 s is sent once more.
            for _ in range(2):
                self.rig.probe("resize", TITLE, width + 150, height + 120)
                if wait_until(lambda: self.rig.main_window()["client"][0] > 217, timeout=2):
                    break
            self.assertGreater(self.rig.main_window()["client"][0], 217)
            origin = client_origin(self.rig)
            after = {n: inside(w["rect"], origin) for n, w in self.rig.widgets().items()}
            self.assertEqual(after, before)
        finally:
            self.rig.probe("resize", TITLE, width, height)


class Keyboard(OneStation):
    """Keys pressed at any moment, also while a tick waits for a tracking program that answers
    slowly (250 ms of every second), are taken as the window's own loop takes them; and only
    the operator switches between normal and inverted."""

    TRACKER = ["--record", WORKED_EXAMPLE, "--delay", "250"]

    def selected(self):
        widgets = self.rig.widgets()
        return [n for n in ("Opt_normal", "Opt_invertido") if widgets[n]["checked"]]

    def assertModeAndFocus(self, mode, when):
        """The mode is still the operator's choice, and the focus is on no option button that
        is not selected: one that got it would select itself."""
        self.assertEqual(self.selected(), [mode], f"the mode switched {when}")
        other = IDS["Opt_normal" if mode == "Opt_invertido" else "Opt_invertido"]
        self.assertNotEqual(self.rig.focus()["focus"], other, f"the focus went to it {when}")

    def test_tab_at_any_moment_moves_on_and_never_switches_the_mode(self):
        random_moments = random.Random(31)
        for mode in ("Opt_invertido", "Opt_normal"):
            with self.subTest(mode=mode):
                self.rig.press(mode)  # a click: the focus with it
                self.assertTrue(wait_until(lambda: self.selected() == [mode], timeout=3))
                # Away and back: minimised and restored, then the about box.
                self.rig.probe("minimize", TITLE)
                time.sleep(0.5)
                self.rig.probe("restore", TITLE)
                time.sleep(0.5)
                self.assertModeAndFocus(mode, "as the window came back")
                self.rig.press("cmd_acerca")
                self.assertTrue(wait_until(lambda: self.rig.focus(BOX_TITLE)["active"], 10))
                self.rig.probe("close", BOX_TITLE)
                wait_until(lambda: not any(w["title"].startswith(BOX_TITLE)
                                           for w in self.rig.windows()), timeout=10)
                self.assertModeAndFocus(mode, "as the about box closed")
                cycle = [IDS[n] for n in (mode, "chk_update", "cmd_stop", "cmd_acerca")]
                self.rig.keys()  # the window forward
                focus = self.rig.focus()["focus"]
                lost = []
                for press in range(12):
                    time.sleep(random_moments.uniform(0, 1))
                    self.rig.keys(VK_TAB)
                    now = self.rig.focus()["focus"]
                    if focus in cycle and now != cycle[(cycle.index(focus) + 1) % len(cycle)]:
                        lost.append((press, focus, now))
                    focus = now
                    self.assertModeAndFocus(mode, f"at Tab {press}")
                self.assertEqual(lost, [], "Tabs that did not move the focus on")


class Sending(unittest.TestCase):
    """With the send switch on, a command a second, in normal and inverted mode; Stop."""

    def test_commands_once_a_second_then_stop(self):
        with rig(["--record", WORKED_EXAMPLE]) as r:
            r.start_station()
            wait_until(lambda: r.text("txt_iele") == " 134.4", timeout=10)
            self.assertEqual(r.line.received(), b"")  # sending is off at start
            r.press("chk_update")
            self.assertTrue(wait_until(lambda: len(r.line.commands()) >= 3, timeout=10))
            self.assertEqual(set(r.line.received().split(b"\r")), {b"W123 045", b""})
            points = r.line.commands()
            gaps = [b["time"] - a["time"] for a, b in zip(points, points[1:])]
            self.assertTrue(all(0.7 < g < 1.3 for g in gaps), gaps)

            r.press("Opt_invertido")
            self.assertTrue(wait_until(lambda: r.line.received().endswith(
                point_command(303, 134)), 5))

            r.press("cmd_stop")
            # The port was held from the first command to the Stop, then let go.
            self.assertTrue(wait_until(lambda: r.line.sessions(), timeout=5))
            self.assertEqual(len(r.line.sessions()), 1)
            self.assertTrue(r.line.sessions()[0].endswith(point_command(303, 134) + b"S\r"))
            self.assertFalse(r.widgets()["chk_update"]["checked"])
            count = len(r.line.received())
            time.sleep(2.2)  # two more ticks: nothing is sent
            self.assertEqual(len(r.line.received()), count)
            self.assertEqual(r.line.settings()["baud"], 9600)

    def test_the_rotor_follows_a_rising_pass_normal_then_inverted(self):
        # A GS-232 controller that refuses anything but its manual's form: after every tick the
        # rotor points where the satellite is, or at its mirror, and no command was refused.
        with tempfile.TemporaryDirectory(prefix="vorkel-pass-") as directory:
            script = Path(directory) / "pass.txt"
            script.write_text("\n".join(f"SNAO-7 AZ{a} EL{e} DN145950000 UP435100000"
                                        for a, e in RISING_PASS))
            with rig(None) as r:
                r.start_tracker(["--script", r.windows_path(script), "--log-records"])
                r.start_station()
                r.press("chk_update")
                enough = lambda n: lambda: len(r.line.commands()) >= n
                self.assertTrue(wait_until(enough(len(RISING_PASS) + 1), timeout=30))
                switched = time.time()
                r.press("Opt_invertido")
                self.assertTrue(wait_until(enough(2 * len(RISING_PASS) + 3), timeout=30))
                ticks = answered(r)
                commands = r.line.commands()
        self.assertEqual([c for c in commands if c["event"] != "point"], [])
        wrong = []
        for command in commands:
            record = [t["record"] for t in ticks if t["received"] <= command["time"]][-1]
            azimuth, elevation = (float(v) for v in RECORD_POSITION.search(record).groups())
            normal = pointed(azimuth, elevation)
            mirror = pointed(azimuth - 180 if azimuth >= 180 else azimuth + 180,
                             180 - elevation if elevation >= 0 else 180)
            # The tick in which the option was switched may send either.
            allowed = ([normal] if command["time"] < switched else
                       [mirror] if command["time"] > switched + 1.2 else [normal, mirror])
            if tuple(command["rotor"]) not in allowed:
                wrong.append((record, command["text"], command["rotor"], allowed))
        self.assertEqual(wrong, [])
        self.assertIn((0, 0), [tuple(c["rotor"]) for c in commands])  # waited on the horizon

    def test_below_the_horizon_is_red_and_mirrors_to_180(self):
        with rig(["--record", BELOW_HORIZON + "\\r\\n"]) as r:
            r.start_station()
            r.press("Opt_invertido")
            r.press("chk_update")
            self.assertTrue(wait_until(lambda: r.line.commands(), timeout=10))
            self.assertEqual(r.line.received()[-9:], point_command(187, 180))
            self.assertEqual(r.text("txt_iele"), "180")
            shot = r.screenshot(ARTIFACTS / "below-horizon.png")
            self.assertEqual(r.dominant_ink(shot, r.widgets()["txt_ele"]["rect"]), (255, 0, 0))

    def test_stop_during_a_slow_answer_runs_after_the_tick(self):
        # Answers take 250 ms, so a Stop lands inside the tick's wait most of the time.
        with rig(["--record", WORKED_EXAMPLE, "--delay", "250"]) as r:
            r.start_station()
            for _ in range(4):
                r.press("chk_update")
                wait_until(lambda: r.widgets()["chk_update"]["checked"], timeout=3)
                time.sleep(0.9)
                r.probe("press", TITLE, IDS["cmd_stop"], 2, 30)  # each press is a stop
                wait_until(lambda: not r.widgets()["chk_update"]["checked"], timeout=3)
            time.sleep(1.2)
            # Whole commands one after the other, never one inside another. (The controller
            # may see a Stop's port opening that follows a tick's closing within a few
            # milliseconds as one session, so the bytes are checked, not the sessions.)
            received = r.line.received()
            self.assertRegex(received, rb"\A(?:" + point_command(123, 45) + rb"|S\r)*\Z")
            self.assertEqual(received.count(b"S\r"), 8)
            self.assertTrue(received.endswith(b"S\r"))
            requests = r.tracker_requests()
            times = [float(l.split()[0]) for l in requests if "answered" in l]
            self.assertTrue(all(b - a > 500 for a, b in zip(times, times[1:])), times)


class NamesWithBlanks(unittest.TestCase):
    """Names as the element files give them, blanks and padding included: with sending on, the
    rotor follows the satellite, and the window shows the whole name."""

    def follow_pass(self, name, padded=False):
        sent_name = name.ljust(24) if padded else name
        tracker = ["--pass", name, "--speed", "30", "--log-records"]
        tracker += ["--padded"] if padded else []
        with rig(tracker) as r:
            r.start_station()
            r.press("chk_update")
            enough = wait_until(lambda: len(r.line.commands()) >= 8, timeout=30)
            shown = r.text("txt_nombre")
            self.assertTrue(enough, f"{len(r.line.commands())} commands; the name shows as "
                                    f"{shown!r}, the title {r.main_window()['title']!r}")
            ticks = answered(r)
            log = r.tracker_requests()
            commands = r.line.commands()
            field = r.widgets()["txt_nombre"]["rect"]
            shot = r.screenshot(ARTIFACTS / f"name-{name.split()[0].lower()}.png")
            ink = r.ink_extent(shot, field, (0, 0, 255))
        self.assertTrue(all(t["record"].startswith(b"SN" + sent_name.encode() + b" AZ")
                            for t in ticks), ticks[-1])
        # Every tick after the first command, up to the last one answered: the rotor points
        # where that tick's record puts the satellite.
        self.assertEqual([c for c in commands if c["event"] != "point"], [])
        first = commands[0]["time"]
        before = [t["received"] for t in ticks if t["received"] < first]
        self.assertTrue(before, (first, log))
        start = max(before)
        ticks = [t for t in ticks if t["received"] >= start]
        wrong = []
        for tick, following in zip(ticks, ticks[1:]):
            azimuth, elevation = RECORD_POSITION.search(tick["record"]).groups()
            sent = [c for c in commands if tick["received"] <= c["time"] < following["received"]]
            rotor = tuple(sent[-1]["rotor"]) if sent else None
            if rotor != pointed(azimuth.decode(), elevation.decode()):
                wrong.append((tick["record"], [c["text"] for c in sent], rotor))
        self.assertGreaterEqual(len(ticks), 7)
        self.assertEqual(wrong, [])
        self.assertEqual(shown, name)
        # The whole name is drawn, with room to spare: a cut one would reach the field's edge
        # (its border, 2 pixels, and less than a letter's width).
        width = field[2] - field[0]
        print(f"txt_nombre: {name!r} drawn in columns {ink} of {width}", flush=True)
        self.assertIsNotNone(ink)
        self.assertLess(ink[1], width - 2 - 8)

    def test_the_rotor_follows_a_pass_of_noaa_19(self):
        self.follow_pass("NOAA 19")

    def test_the_rotor_follows_a_pass_of_a_name_padded_to_24_columns(self):
        self.follow_pass("SAUDISAT 1C (SO-50)", padded=True)


class Failures(unittest.TestCase):
    """Failures show in Label1 (beneath the frames), and in the title bar and the icons at the
    window's normal size."""

    def test_failure_readable_in_the_title_bar_at_normal_width(self):
        with rig(None) as r:
            r.start_station()
            self.assertTrue(wait_until(lambda: r.main_window()["title"] == FAILURE_TITLE, 5))
            self.assertEqual(r.main_window()["client"], [217, 296])
            fit = r.title_room("Un error ha ocurrido")
            print(f"title bar: 'Un error ha ocurrido' takes {fit['width']} px in {fit['face']}, "
                  f"room {fit['room']} px", flush=True)
            self.assertLessEqual(fit["width"], fit["room"])

    def test_tracking_program_absent(self):
        with rig(None) as r:
            r.start_station()
            # Before any successful tick the fields keep their texts at load.
            texts = {n: w["text"] for n, w in r.widgets().items()}
            for name, text in INITIAL_TEXTS.items():
                if name != "Label1":
                    self.assertEqual(texts[name], text)
            self.assertTrue(wait_until(lambda: r.main_window()["title"] == FAILURE_TITLE, 5))
            self.assertEqual(r.text("Label1"), ERROR_TEXT)
            weights = []
            for _ in range(3):
                weights.append(r.font("Label1")["weight"])
                time.sleep(1.0)
            self.assertEqual(len(set(weights)), 2, weights)  # bold and regular by turns
            window = r.main_window()
            self.assertTrue(window["topmost"])
            self.assertEqual(window["rect"][1], 0)
            failing = title_bar(r, "tracking-program-absent")
            origin = client_origin(r)
            self.assertEqual(r.pixel(ARTIFACTS / "tracking-program-absent.png", origin[0] + 3,
                                     origin[1] + 3), GREEN)
            # Why, once, however many ticks failed, in the debug output.
            reasons = r.failure_reasons()
            self.assertEqual(len(reasons), 1, reasons)
            self.assertIn("Orbitron", reasons[0])
            # The link is made once, at start-up: a station started with the tracking program
            # there has its good ticks, and its own title and icons.
            r.probe("close", TITLE)
            self.assertTrue(wait_until(lambda: r.main_window() is None, timeout=10))
            r.start_tracker(["--record", WORKED_EXAMPLE])
            r.start_station()
            self.assertTrue(wait_until(lambda: r.text("Label1") == WORKED_EXAMPLE, timeout=10))
            assert_title_bar_tells(self, failing, title_bar(r, "tracking-program-there"))

    def test_rotor_port_missing_while_sending(self):
        with rig(["--pass", "AO-7", "--speed", "30"]) as r:
            r.point_port_at(None)
            r.start_station()
            r.press("chk_update")
            first = r.text("txt_azi")
            self.assertTrue(wait_until(lambda: r.main_window()["title"] == FAILURE_TITLE, 5))
            failing = title_bar(r, "rotor-port-missing")
            self.assertTrue(wait_until(lambda: r.text("txt_azi") != first, timeout=5))
            self.assertEqual(r.text("Label1"), ERROR_TEXT)
            # The port comes back: the next tick sends and the title is restored.
            time.sleep(2.2)  # more failing ticks: the reason is written once
            reasons = r.failure_reasons()
            self.assertEqual(len(reasons), 1, reasons)
            self.assertIn("COM1", reasons[0])
            r.new_line()
            self.assertTrue(wait_until(lambda: r.line.commands(), timeout=5))
            self.assertTrue(wait_until(lambda: r.main_window()["title"] == TITLE, timeout=5))
            self.assertEqual(r.failure_reasons()[1:], ["vorkelDDE: working again"])
            assert_title_bar_tells(self, failing, title_bar(r, "rotor-port-back"))


class HighDpi(unittest.TestCase):
    def test_layout_scales_at_144_dpi(self):
        with rig(None) as r:
            key = r"HKCU\Control Panel\Desktop"
            r.set_registry(key, "LogPixels", 144)
            try:
                r.start_station()
                window = r.main_window()
                self.assertEqual(window["client"], [326, 444])
                self.assertEqual(r.font("txt_azi")["height"], 27)
                # Drawn at that size, not merely asked for: larger than the 8.25 pt beneath it.
                self.assertLessEqual(abs(r.font("txt_azi")["em"] - 27), 1, r.font("txt_azi"))
                self.assertGreater(r.font("txt_azi")["em"], r.font("txt_iazi")["em"])
                r.screenshot(ARTIFACTS / "144-dpi.png")
                # The about box's 12 pt title: Wine's "MS Sans Serif" has no such size there.
                assert_captions_fit(self, r, not_in_design_face={"lblTitle"})
            finally:
                r.set_registry(key, "LogPixels", None)


class WithoutWineFonts(unittest.TestCase):
    """A prefix as a user's may be, without Wine's own "MS Sans Serif": the station draws every
    widget in the sans-serif face nearest to it that is present, not in Wine's wide default."""

    def test_nearest_face_and_its_caption_widths(self):
        with rig(None, wine_fonts=False) as r:
            r.start_station()
            captions = r.captions()
            faces = {m["face"] for m in captions.values()}
            print(f"face chosen without Wine's fonts: {faces}", flush=True)
            self.assertEqual(len(faces), 1, "one face for every widget")
            self.assertNotIn("MS Sans Serif", faces)
            # Wine's default there cuts captions by 6 to 10 pixels; the nearest face fits all
            # but a few by at most a couple of pixels.
            overflow = {name: m["width"] - m["room"] for name, m in captions.items()
                        if m["width"] > m["room"]}
            self.assertLessEqual(max(overflow.values(), default=0), 3, overflow)
            self.assertLessEqual(len(overflow), 2, overflow)
            r.screenshot(ARTIFACTS / "without-wine-fonts.png")


if __name__ == "__main__":
    args, rest = test_arguments()
    BUILD = Path(args.build).resolve()
    ARTIFACTS = BUILD / "artifacts" / "station_window"
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    run_tests(rest)
