#!/usr/bin/env python3
"""The about box of the real vorkelDDE.exe under Wine, worked from outside with window_probe.

    test_about_box.py --build BUILD_DIR --box-tests about_box_tests.exe [-v]

The session has its own Xvfb, so nothing else is on the screen it photographs, and no window
manager: the title bar's close button is worked through SC_CLOSE. The screenshot goes to
BUILD_DIR/artifacts/about_box.
"""

import json
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
from driver_args import run_tests, test_arguments  # noqa: E402
from station_rig import BOX_IDS, BOX_TITLE, TITLE, StationRig  # noqa: E402
from wine_session import wait_until  # noqa: E402

ARGS = None
BOX_FULL_TITLE = "Información"
VK_ESCAPE = 27

# Where the screenshot check looks, at 96 DPI: the client area and the places of the picture
# box and two labels in it (left, top, right, bottom), from the layout in twips divided by 15.
CLIENT = [343, 141]
PLACES = {"picIcon": [8, 16, 59, 70],  # 47 x 50 picture in a 2-pixel border
          "lblTitle": [70, 16, 329, 40], "lblDescription": [70, 56, 329, 102]}
SEPARATOR_ROW, SEPARATOR_LEFT, SEPARATOR_RIGHT = 104, 8, 336
GREY, WHITE, BLUE, BLACK = (128, 128, 128), (255, 255, 255), (0, 0, 255), (0, 0, 0)


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
        cls.rig = StationRig(ARGS.build, tracker=None).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()

    def tearDown(self):
        if self.rig.station is not None:
            self.rig.stop(self.rig.station)
        self.rig.stop_tracker()

    # -- the station and the probe ----------------------------------------------------------
    def probe(self, *argv):
        code, out = self.rig.probe(*argv)
        self.assertEqual(code, 0, f"window_probe {' '.join(map(str, argv))}: {out}")
        return out

    def boxes(self):
        """The station's about boxes."""
        return [w for w in self.rig.windows()
                if w["title"].startswith(BOX_TITLE) and w["pid"] == self.station_pid]

    def main_window(self):
        main = self.rig.main_window()
        return main if main and main["pid"] == self.station_pid else None

    def start_station(self):
        # Nothing of an earlier run may answer for this one.
        self.assertEqual([w for w in self.rig.windows() if w["title"].startswith(BOX_TITLE) or
                          TITLE in w["title"]], [])
        station = self.rig.start_station(timeout=30)
        self.station_pid = self.rig.main_window()["pid"]
        return station

    def open_box(self):
        self.rig.press("cmd_acerca")
        self.assertTrue(wait_until(lambda: len(self.boxes()) == 1, timeout=10), "no about box")
        return self.boxes()[0]

    def focus(self):
        return self.rig.focus(BOX_TITLE)

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
        code, out = self.rig.run([ARGS.box_tests], timeout=120)
        self.assertEqual(code, 0, out)
        self.assertIn("at 96 DPI", out)

    def test_in_process_places_and_fonts_at_120_and_144_dpi(self):
        """The laptops' 125 % and 150 %: the box's places and fonts are worked out at 144 DPI,
        the sizes every font of both windows is drawn at are checked at both."""
        key = r"HKCU\Control Panel\Desktop"
        cases = {120: "*FontsOfBothWindows*", 144: "*Places*:*Fonts*"}
        for dpi, selection in cases.items():
            with self.subTest(dpi=dpi):
                self.rig.set_registry(key, "LogPixels", dpi)
                try:
                    code, out = self.rig.run([ARGS.box_tests, f"--gtest_filter={selection}"],
                                             timeout=120)
                finally:
                    self.rig.set_registry(key, "LogPixels", None)
                self.assertEqual(code, 0, out)
                self.assertIn(f"widget fonts at {dpi} DPI", out)

    def test_acerca_de_twice_shows_one_box_that_its_close_button_closes(self):
        # How each way of closing works, and where the widgets sit, is the in-process tests'
        # (about_box_test.cpp): here, the real exe's button and title bar.
        station = self.start_station()
        self.open_box()
        self.rig.press("cmd_acerca")  # shows the same box again
        time.sleep(1)
        self.assertEqual([b["title"] for b in self.boxes()], [BOX_FULL_TITLE])
        self.probe("close", BOX_TITLE)
        self.assertTrue(wait_until(lambda: not self.boxes(), timeout=10), "still open")
        self.assertIsNone(station.poll(), "the station ended with the box")
        self.assertIsNotNone(self.main_window())
        self.open_box()
        self.assertEqual(self.focus(), {"focus": BOX_IDS["cmdOK"], "active": True})

    def test_ticks_go_on_while_the_box_is_open(self):
        self.rig.start_tracker(["--pass", "AO-7", "--advance", "request"])
        self.start_station()
        label1 = lambda: self.rig.text("Label1")  # noqa: E731
        self.assertTrue(wait_until(lambda: "AZ" in label1(), timeout=15),
                        f"no record reached the station: {label1()!r}")
        self.open_box()
        seen = set()
        deadline = time.monotonic() + 4.5
        while time.monotonic() < deadline:
            seen.add(label1())
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
            self.assertIn(TITLE, seen_at["title"])

    def test_the_program_lives_until_its_last_window_closes(self):
        station = self.start_station()
        self.open_box()
        self.probe("close", BOX_TITLE)  # the box first: the main window goes on
        self.assertTrue(wait_until(lambda: not self.boxes(), timeout=10))
        time.sleep(1.5)
        self.assertIsNone(station.poll())
        self.assertIsNotNone(self.main_window())

        self.open_box()
        self.probe("close", TITLE)  # now the main window first
        self.assertTrue(wait_until(lambda: self.main_window() is None, timeout=10))
        time.sleep(1.5)
        self.assertIsNone(station.poll(), "the program ended with the about box still open")
        self.assertEqual(len(self.boxes()), 1)

        self.probe("keys", BOX_TITLE, VK_ESCAPE)
        station.wait(timeout=15)
        self.assertEqual(station.returncode, 0)

    def test_screenshot_shows_picture_separator_and_blue_title(self):
        self.start_station()
        self.open_box()
        self.probe("move", TITLE, 700, 0)  # out of the picture: it would cover the box
        time.sleep(1.5)
        box = self.boxes()[0]
        origin = json.loads(self.probe("origin", BOX_TITLE))
        artifacts = Path(ARGS.build) / "artifacts" / "about_box"
        artifacts.mkdir(parents=True, exist_ok=True)
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                             env=self.rig.env, check=True, capture_output=True).stdout
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
            left, top = PLACES["picIcon"][:2]
            shown = [[pixel(left + 2 + x, top + 2 + y) for x in range(47)] for y in range(50)]
            self.assertEqual(shown, picture)
            border = {pixel(left, top + 10), pixel(left + 1, top + 10)}
            self.assertNotIn(face, border)

        def ink(name):
            """The colours other than the face inside a label, by how often they occur, and
            the rows they occupy."""
            left, top, right, bottom = PLACES[name]
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
    ARGS, rest = test_arguments(lambda p: p.add_argument("--box-tests", required=True))
    run_tests(rest)


if __name__ == "__main__":
    main()
