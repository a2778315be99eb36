#!/usr/bin/env python3
"""The tracking link's tests under Wine, in one Wine session with a display (DDE needs one).

Runs the link's test program, which starts the simulated tracking program itself, and checks
the simulator from outside: its records, its pace, its log and the ways it ends. Windows
programs are started only through the session, which ends every one of them afterwards.
"""

import re
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "testing"))
from driver_args import run_tests, test_arguments  # noqa: E402
from tracking_simulator import TrackingSimulator  # noqa: E402
from wine_session import WineSession, wait_until  # noqa: E402

ARGS = None
SESSION = None

RECORD = re.compile(r"^SN(\S+) AZ(\d{1,3}\.\d) EL(-?\d{1,2}\.\d) DN(\d+) UP(\d+)\\r\\n$")


def setUpModule():
    global SESSION
    SESSION = WineSession(ARGS.build)
    SESSION.__enter__()
    SESSION.env["VORKEL_TRACKING_SIMULATOR"] = SESSION.windows_path(ARGS.simulator)


def tearDownModule():
    SESSION.close()


class Simulator(TrackingSimulator):
    """One tracking_simulator.exe with a log in a temporary directory."""

    def __init__(self, *arguments):
        self.dir = tempfile.TemporaryDirectory(prefix="vorkel-sim-")
        super().__init__(SESSION, ARGS.simulator, arguments, self.dir.name)

    def close(self):
        self.stop()
        self.dir.cleanup()


def probe(*arguments, timeout=120):
    """Runs tracking_probe.exe; returns its exit code and one list per request line."""
    with tempfile.TemporaryDirectory(prefix="vorkel-probe-") as directory:
        out = Path(directory) / "probe.txt"
        code, _ = SESSION.run([ARGS.probe, "--out", SESSION.windows_path(out),
                               *map(str, arguments)], timeout=timeout)
        text = out.read_text(errors="replace") if out.exists() else ""
    return code, [line.split(" ", 3) for line in text.splitlines()]


class LinkProgram(unittest.TestCase):
    def test_link_against_the_simulator(self):
        code, output = SESSION.run([ARGS.link_tests], timeout=600)
        print(output)
        self.assertEqual(code, 0, "tracking_link_tests failed")


class SimulatorRecords(unittest.TestCase):
    def test_generated_pass_rises_culminates_and_sets(self):
        sim = Simulator("--pass", "FO-29", "--speed", "10")
        try:
            code, lines = probe("--count", "100", "--interval", "5")
        finally:
            sim.close()
        self.assertEqual(code, 0, lines[:3])
        points = []
        for number, state, _, record in lines:
            match = RECORD.match(record)
            self.assertIsNotNone(match, f"record {number}: {record}")
            name, az, el, dn, up = match.groups()
            self.assertEqual(name, "FO-29")
            points.append((float(az), float(el), int(dn), int(up)))
        elevations = [p[1] for p in points]
        top = elevations.index(max(elevations))
        self.assertLess(elevations[0], 0, "starts below the horizon")
        self.assertLess(elevations[-1], 1, "sets again")
        self.assertAlmostEqual(max(elevations), 62, delta=1.5)
        self.assertEqual(elevations[:top + 1], sorted(elevations[:top + 1]), "rises steadily")
        self.assertEqual(elevations[top:], sorted(elevations[top:], reverse=True), "then sets")
        for az, _, dn, up in points:
            self.assertTrue(0 <= az < 360)
            self.assertLess(abs(dn - 145_950_000), 4_000, "downlink Doppler of a LEO satellite")
            self.assertLess(abs(up - 435_100_000), 12_000, "uplink Doppler")
        self.assertGreater(points[0][2], 145_950_000, "approaching: heard higher")
        self.assertLess(points[-1][2], 145_950_000, "receding: heard lower")
        self.assertLess(points[0][3], 435_100_000, "uplink corrected the other way")
        swept = sum(min(abs(a[0] - b[0]), 360 - abs(a[0] - b[0]))
                    for a, b in zip(points, points[1:]))
        self.assertGreater(swept, 90, "the azimuth sweeps across the sky")

    def test_script_records_in_turn_per_request(self):
        with tempfile.TemporaryDirectory() as directory:
            script = Path(directory) / "records.txt"
            script.write_bytes(b"SNA AZ1.0\nSNB AZ2.0\r\nSNC AZ3.0\n")
            sim = Simulator("--script", SESSION.windows_path(script))
            try:
                code, lines = probe("--count", "4", "--interval", "5")
            finally:
                sim.close()
        self.assertEqual(code, 0)
        self.assertEqual([line[3] for line in lines],
                         ["SNA AZ1.0\\r\\n", "SNB AZ2.0\\r\\n", "SNC AZ3.0\\r\\n", "SNA AZ1.0\\r\\n"])

    def test_script_records_in_turn_per_second(self):
        with tempfile.TemporaryDirectory() as directory:
            script = Path(directory) / "records.txt"
            script.write_text("".join(f"SNR{i}\n" for i in range(100)))
            sim = Simulator("--script", SESSION.windows_path(script), "--advance", "second")
            try:
                code, lines = probe("--count", "14", "--interval", "250")
            finally:
                sim.close()
        self.assertEqual(code, 0)
        seen = [line[3] for line in lines]
        changes = sum(1 for a, b in zip(seen, seen[1:]) if a != b)
        # 14 requests a quarter of a second apart span about three and a half seconds.
        self.assertIn(changes, (3, 4), seen)
        self.assertEqual(len(set(seen)), changes + 1, "each record stays for its second")


class SimulatorLog(unittest.TestCase):
    def test_every_request_is_logged_with_its_time(self):
        sim = Simulator("--record", "x")
        try:
            code, _ = probe("--count", "20", "--interval", "100")
            requests = sim.lines("request")
        finally:
            sim.close()
        self.assertEqual(code, 0)
        self.assertEqual(len(requests), 20)
        times = [float(line[0]) for line in requests]
        gaps = [b - a for a, b in zip(times, times[1:])]
        self.assertGreaterEqual(min(gaps), 95, gaps)
        self.assertLess(max(gaps), 300, gaps)
        self.assertEqual([int(line[2]) for line in requests], list(range(1, 21)))

    def test_faults_are_logged(self):
        sim = Simulator("--hang-after", "1")
        try:
            code, lines = probe("--count", "2", "--interval", "5")
            log = sim.log()
        finally:
            sim.close()
        self.assertNotEqual(code, 0)
        self.assertEqual([line[1] for line in lines], ["ok", "fail"])
        self.assertIn("request 1 answered", log)
        self.assertIn("request 2 unanswered", log)


class SimulatorEnds(unittest.TestCase):
    def test_after_its_seconds(self):
        started = time.monotonic()
        sim = Simulator("--seconds", "2")
        try:
            sim.proc.wait(timeout=15)
            self.assertEqual(sim.proc.returncode, 0)
            self.assertIn("time is up", sim.log())
            self.assertLess(time.monotonic() - started, 12)
        finally:
            sim.close()

    def test_when_closed_like_a_window(self):
        sim = Simulator("--record", "x")
        try:
            SESSION.run(["taskkill", "/pid", str(sim.windows_pid())], timeout=30)
            sim.proc.wait(timeout=15)
            self.assertEqual(sim.proc.returncode, 0)
            self.assertTrue(sim.log().rstrip().endswith("exit"), sim.log())
        finally:
            sim.close()

    def test_after_so_many_requests(self):
        sim = Simulator("--record", "x", "--quit-after", "3")
        try:
            code, lines = probe("--count", "5", "--interval", "20")
            sim.proc.wait(timeout=15)
        finally:
            sim.close()
        self.assertEqual([line[1] for line in lines], ["ok", "ok", "ok", "fail", "fail"])
        self.assertEqual(sim.proc.returncode, 0)

    def test_refuses_bad_options(self):
        for bad in (["--bogus", "1"], ["--delay"], ["--delay", "-5"], ["--record", "\\q"],
                    ["--pass", "two words"], ["--advance", "sometimes"]):
            code, _ = SESSION.run([ARGS.simulator, *bad], timeout=30)
            self.assertEqual(code, 2, bad)


def main():
    global ARGS
    ARGS, rest = test_arguments()
    build = Path(ARGS.build).resolve()
    ARGS.link_tests = build / "tests" / "tracking_link" / "tracking_link_tests.exe"
    ARGS.simulator = build / "tools" / "win" / "tracking_simulator.exe"
    ARGS.probe = build / "tools" / "win" / "tracking_probe.exe"
    run_tests(rest)


if __name__ == "__main__":
    main()
