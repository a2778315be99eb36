#!/usr/bin/env python3
"""The about box of the real vorkelDDE.exe under Wine, worked from outside with window_probe.

    about_box_wine_test.py --prefix WINEPREFIX --station vorkelDDE.exe --box-tests
        about_box_tests.exe --probe window_probe.exe --simulator tracking_simulator.exe
        --artifacts DIR [-v]

The session has its own Xvfb and no window manager: windows have no drawn title bar, and the
title bar's close button is worked through SC_CLOSE. The screenshot goes to DIR.
"""

import argparse
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from collections import Counter
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "testing"))
from wine_session import WineSession, wait_until  # noqa: E402

ARGS = None
MAIN_TITLE = "Driver DDE VORKEL v1.0"
BOX_TITLE = "Información"
BOX_MATCH = "Informaci"  # window_probe's title argument stays ASCII, whatever the locale
VK_TAB, VK_RETURN, VK_ESCAPE = 9, 13, 27
DESCRIPTION = ("Programa cliente de  DDE  para el control de  rotores Yaesu y compatible con "
               "el hardware Fox Delta y LVB tracker.")

# The box at 96 DPI: client size, and per widget its class, text and place in the client area
# (left, top, right, bottom), from the layout in twips divided by 15.
CLIENT = [343, 141]
WIDGETS = {
    "cmdOK": ("Button", "OK", [232, 112, 316, 135]),
    "picIcon": ("Static", "", [8, 16, 59, 70]),  # 47 x 50 picture in a 2-pixel border
    "lblTitle": ("Static", "Driver DDE VORKEL", [70, 16, 329, 40]),
    "lblVersion": ("Static", "Version 0.9b", [70, 40, 329, 55]),
    "lblDescription": ("Static", DESCRIPTION, [70, 56, 329, 102]),
    "lblDisclaimer": ("Static", "Versión en desarrollo...", [8, 112, 209, 135]),
}
TAB_ORDER = ["cmdOK", "picIcon"]  # labels take no focus
SEPARATOR_ROW, SEPARATOR_LEFT, SEPARATOR_RIGHT = 104, 8, 336
GREY, WHITE, BLUE, BLACK = (128, 128, 128), (255, 255, 255), (0, 0, 255), (0, 0, 0)


def form1_ids():
    """Control ids of the main window, read from its layout header."""
    text = (ROOT / "ui" / "form1_layout.h").read_text()
    body = re.search(r"enum ControlId : int \{(.*?)\};", text, re.S)[1]
    ids, value = {}, -1
    for line in body.splitlines():
        match = re.match(r"\s*(k\w+)(?:\s*=\s*(\d+))?,", line)
        if match:
            value = int(match[2]) if match[2] else value + 1
            ids[match[1]] = value
    return ids


def read_bmp(path):
    """Rows of (r, g, b) of a bottom-up 24-bit BMP, top row first."""
    data = Path(path).read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24 and height > 0
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        rows.append([tuple(reversed(data[start + 3 * x:start + 3 * x + 3]))
                     for x in range(width)])
    return rows


class Screen:
    """An 8-bit RGB screenshot, read from ImageMagick's PPM."""

    def __init__(self, ppm):
        fields, data = [], ppm
        while len(fields) < 4:
            line, data = data.split(b"\n", 1)
            fields += line.split(b"#")[0].split()
        assert fields[0] == b"P6" and fields[3] == b"255", fields
        self.width = int(fields[1])
        self.data = data

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])


class AboutBoxUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.environ.pop("DISPLAY", None)  # our own Xvfb: nothing else on the screen
        cls.wine = WineSession(ARGS.prefix).__enter__()
        cls.ids = form1_ids()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.started = []

    def tearDown(self):
        for proc in self.started:
            self.wine.stop(proc)

    # -- the station and the probe ----------------------------------------------------------
    def probe(self, *argv):
        code, out = self.wine.run([ARGS.probe, *map(str, argv)])
        if code != 0 and not out.strip():
            # Wine itself failed to start the probe (seen once on CI): the probe always says
            # why it fails, so silence means it never ran. Once more.
            code, out = self.wine.run([ARGS.probe, *map(str, argv)])
        self.assertEqual(code, 0, f"window_probe {' '.join(map(str, argv))}: {out}")
        return out

    def windows(self):
        return [json.loads(line) for line in self.probe("windows").splitlines() if line]

    def boxes(self):
        """The station's about boxes."""
        return [w for w in self.windows()
                if w["title"].startswith(BOX_MATCH) and w["pid"] == self.station_pid]

    def main_window(self):
        found = [w for w in self.windows()
                 if w["title"].startswith(MAIN_TITLE) and w["pid"] == self.station_pid]
        return found[0] if found else None

    def start_station(self):
        # Nothing of an earlier run may answer for this one.
        self.assertEqual([w for w in self.windows() if w["title"].startswith(BOX_MATCH) or
                          w["title"].startswith(MAIN_TITLE)], [])
        proc = self.wine.spawn([ARGS.station])
        self.started.append(proc)

        def station_window():
            found = [w for w in self.windows() if w["title"].startswith(MAIN_TITLE)]
            return found[0] if found else None
        main = wait_until(station_window, timeout=30)
        self.assertTrue(main, "the main window never came")
        self.station_pid = main["pid"]
        return proc

    def press_acerca(self):
        self.probe("press", MAIN_TITLE, self.ids["kCmdAcerca"])

    def open_box(self):
        self.press_acerca()
        self.assertTrue(wait_until(lambda: len(self.boxes()) == 1, timeout=10), "no about box")
        return self.boxes()[0]

    def focus(self):
        return json.loads(self.probe("focus", BOX_MATCH))

    def content(self):
        """What the open box shows: title, client size and widgets in its client area."""
        box = self.boxes()
        self.assertEqual(len(box), 1)
        origin = json.loads(self.probe("origin", BOX_MATCH))
        widgets = {}
        for line in self.probe("widgets", BOX_MATCH).splitlines():
            w = json.loads(line)
            place = [w["rect"][0] - origin["x"], w["rect"][1] - origin["y"],
                     w["rect"][2] - origin["x"], w["rect"][3] - origin["y"]]
            widgets[w["text"]] = (w["class"], w["text"], place)
        return {"title": box[0]["title"], "client": box[0]["client"], "widgets": widgets}

    def expected_content(self):
        return {"title": BOX_TITLE, "client": CLIENT,
                "widgets": {text: (cls, text, place) for cls, text, place in WIDGETS.values()}}

    def label1(self):
        for line in self.probe("widgets", MAIN_TITLE).splitlines():
            w = json.loads(line)
            if w["id"] == self.ids["kLabel1"]:
                return w["text"]
        return None

    # -- the tests --------------------------------------------------------------------------
    def test_the_picture_in_the_tree_is_what_the_script_draws(self):
        with tempfile.TemporaryDirectory() as scratch:
            drawn = Path(scratch) / "picture.bmp"
            subprocess.run([sys.executable, str(ROOT / "tools" / "make_about_picture.py"),
                            str(drawn)], check=True)
            self.assertEqual(drawn.read_bytes(),
                             (ROOT / "ui" / "frm_about_picture.bmp").read_bytes(),
                             "run tools/make_about_picture.py ui/frm_about_picture.bmp")
        self.assertEqual(len(read_bmp(ROOT / "ui" / "frm_about_picture.bmp")), 50)
        self.assertEqual(len(read_bmp(ROOT / "ui" / "frm_about_picture.bmp")[0]), 47)

    def test_in_process_cases(self):
        code, out = self.wine.run([ARGS.box_tests], timeout=120)
        self.assertEqual(code, 0, out)

    def test_one_box_and_a_fresh_one_after_each_way_of_closing(self):
        station = self.start_station()
        self.open_box()
        self.press_acerca()  # shows the same box again
        time.sleep(1)
        self.assertEqual(len(self.boxes()), 1)
        self.assertEqual(self.content(), self.expected_content())

        def click_ok():
            ok = WIDGETS["cmdOK"][2]
            origin = json.loads(self.probe("origin", BOX_MATCH))
            x, y = origin["x"] + (ok[0] + ok[2]) // 2, origin["y"] + (ok[1] + ok[3]) // 2
            self.assertEqual(json.loads(self.probe("at", x, y))["title"], BOX_TITLE)
            self.probe("click", x, y)

        ways = {
            "click on OK": click_ok,
            "Enter": lambda: self.probe("keys", BOX_MATCH, VK_RETURN),
            "Esc": lambda: self.probe("keys", BOX_MATCH, VK_ESCAPE),
            "close button": lambda: self.probe("close", BOX_MATCH),
        }
        for way, close in ways.items():
            with self.subTest(way=way):
                self.assertEqual(self.focus(), {"focus": 1, "active": True}, "focus on OK")
                close()
                self.assertTrue(wait_until(lambda: not self.boxes(), timeout=10), "still open")
                self.assertIsNone(station.poll(), "the station ended with the box")
                self.assertIsNotNone(self.main_window())
                self.open_box()
                self.assertEqual(self.content(), self.expected_content())

        # Tab walks cmdOK, picIcon and back; labels are skipped.
        ids = {"cmdOK": 1}
        for line in self.probe("widgets", BOX_MATCH).splitlines():
            w = json.loads(line)
            if w["class"] == "Static" and w["text"] == "":
                ids["picIcon"] = w["id"]
        for name in TAB_ORDER[1:] + TAB_ORDER[:1]:
            self.probe("keys", BOX_MATCH, VK_TAB)
            self.assertEqual(self.focus()["focus"], ids[name], f"Tab to {name}")

    def test_ticks_go_on_while_the_box_is_open(self):
        log = Path(tempfile.mkdtemp(prefix="vorkel-about-")) / "simulator.log"
        self.started.append(self.wine.spawn([ARGS.simulator, "--pass", "AO-7", "--advance",
                                             "request", "--log", self.wine.windows_path(log)]))
        self.assertTrue(wait_until(lambda: log.exists() and "ready" in log.read_text(),
                                   timeout=20), "the tracking simulator never got ready")
        self.start_station()
        self.assertTrue(wait_until(lambda: "AZ" in (self.label1() or ""), timeout=15),
                        f"no record reached the station: {self.label1()!r}")
        self.open_box()
        seen = set()
        deadline = time.monotonic() + 4.5
        while time.monotonic() < deadline:
            seen.add(self.label1())
            time.sleep(0.3)
        self.assertEqual(len(self.boxes()), 1)
        self.assertGreaterEqual(len(seen), 3, f"records while the box is open: {seen}")
        self.assertTrue(all("AZ" in text for text in seen), seen)

        # The main window stays topmost and wins where the two overlap (in Wine's stacking;
        # the bare X server shows the later window on top).
        main, box = self.main_window(), self.boxes()[0]
        self.assertTrue(main["topmost"])
        self.assertFalse(box["topmost"])
        left, top = max(main["rect"][0], box["rect"][0]), max(main["rect"][1], box["rect"][1])
        right = min(main["rect"][2], box["rect"][2])
        bottom = min(main["rect"][3], box["rect"][3])
        if left < right and top < bottom:
            seen_at = json.loads(self.probe("at", (left + right) // 2, (top + bottom) // 2))
            self.assertTrue(seen_at["title"].startswith(MAIN_TITLE), seen_at)

    def test_the_program_lives_until_its_last_window_closes(self):
        station = self.start_station()
        self.open_box()
        self.probe("close", BOX_MATCH)  # the box first: the main window goes on
        self.assertTrue(wait_until(lambda: not self.boxes(), timeout=10))
        time.sleep(1.5)
        self.assertIsNone(station.poll())
        self.assertIsNotNone(self.main_window())

        self.open_box()
        self.probe("close", MAIN_TITLE)  # now the main window first
        self.assertTrue(wait_until(lambda: self.main_window() is None, timeout=10))
        time.sleep(1.5)
        self.assertIsNone(station.poll(), "the program ended with the about box still open")
        self.assertEqual(len(self.boxes()), 1)
        self.assertEqual(self.content(), self.expected_content())

        self.probe("keys", BOX_MATCH, VK_ESCAPE)
        station.wait(timeout=15)
        self.assertEqual(station.returncode, 0)

    def test_screenshot_shows_picture_separator_and_blue_title(self):
        self.start_station()
        self.open_box()
        self.probe("move", MAIN_TITLE, 700, 0)  # out of the picture: it would cover the box
        time.sleep(1.5)
        box = self.boxes()[0]
        origin = json.loads(self.probe("origin", BOX_MATCH))
        artifacts = Path(ARGS.artifacts)
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                             env=self.wine.env, check=True, capture_output=True).stdout
        screen = Screen(ppm)
        x0, y0, x1, y1 = box["rect"]
        subprocess.run(["convert", "ppm:-", "-crop", f"{x1 - x0}x{y1 - y0}+{x0}+{y0}",
                        "+repage", str(artifacts / "about_box.png")], input=ppm, check=True)
        subprocess.run(["convert", "ppm:-", str(artifacts / "about_box_screen.png")],
                       input=ppm, check=True)

        def pixel(x, y):
            return screen.at(origin["x"] + x, origin["y"] + y)

        face = pixel(2, 2)
        self.assertTrue(face[0] == face[1] == face[2] and face[0] >= 192, f"face {face}")
        for corner in [(CLIENT[0] - 3, 2), (2, CLIENT[1] - 3), (CLIENT[0] - 3, CLIENT[1] - 3)]:
            self.assertEqual(pixel(*corner), face, corner)

        with self.subTest("separator: grey over white"):
            for x in range(SEPARATOR_LEFT, SEPARATOR_RIGHT):
                self.assertEqual(pixel(x, SEPARATOR_ROW - 1), face, x)
                self.assertEqual(pixel(x, SEPARATOR_ROW), GREY, x)
                self.assertEqual(pixel(x, SEPARATOR_ROW + 1), WHITE, x)
                self.assertEqual(pixel(x, SEPARATOR_ROW + 2), face, x)
            for x in (SEPARATOR_LEFT - 1, SEPARATOR_RIGHT):
                self.assertEqual(pixel(x, SEPARATOR_ROW), face, x)

        with self.subTest("picture, pixel for pixel, inside a sunken border"):
            picture = read_bmp(ROOT / "ui" / "frm_about_picture.bmp")
            left, top = WIDGETS["picIcon"][2][:2]
            shown = [[pixel(left + 2 + x, top + 2 + y) for x in range(47)] for y in range(50)]
            self.assertEqual(shown, picture)
            border = {pixel(left, top + 10), pixel(left + 1, top + 10)}
            self.assertNotIn(face, border)

        def ink(name):
            """The colours other than the face inside a label, by how often they occur, and
            the rows they occupy."""
            left, top, right, bottom = WIDGETS[name][2]
            colours, rows = Counter(), []
            for y in range(top, bottom):
                row = [pixel(x, y) for x in range(left, right) if pixel(x, y) != face]
                colours.update(row)
                rows.append(bool(row))
            return colours, rows

        # The glyphs' commonest colour: an anti-aliased TrueType face adds shades at the edges.
        with self.subTest("title in blue"):
            colours, _ = ink("lblTitle")
            self.assertEqual(colours.most_common(1)[0][0], BLUE, colours.most_common(4))

        with self.subTest("description in black, wrapped at blanks into three lines"):
            colours, rows = ink("lblDescription")
            self.assertEqual(colours.most_common(1)[0][0], BLACK, colours.most_common(4))
            lines = sum(1 for k, used in enumerate(rows) if used and (k == 0 or not rows[k - 1]))
            self.assertEqual(lines, 3)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--prefix", "--station", "--box-tests", "--probe", "--simulator",
                   "--artifacts"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
