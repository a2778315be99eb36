#!/usr/bin/env python3
"""The simulated rotor controller: its decoding, its settings report and its life as a process.

Without Wine: the tests open the pty's far end themselves, as a serial port driver would.
"""

import os
import signal
import subprocess
import sys
import termios
import time
import tty
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[2] / "tools"
sys.path.insert(0, str(TOOLS))
sys.path.insert(0, str(TOOLS / "testing"))
from driver_args import run_tests, test_arguments  # noqa: E402
import rotor_simulator  # noqa: E402
from rotor_line import RotorLine  # noqa: E402


def decoded(*chunks):
    decoder = rotor_simulator.CommandDecoder()
    events = []
    for chunk in chunks:
        events += decoder.feed(chunk)
    return [(e["event"], e.get("azimuth"), e.get("elevation")) for e in events]


class Decoding(unittest.TestCase):
    def test_point_commands_with_sign_positions(self):
        self.assertEqual(decoded(b"W 123  45\rW 7 -6\rW 303  134\rW-5 -6\r"),
                         [("point", 123, 45), ("point", 7, -6), ("point", 303, 134),
                          ("point", -5, -6)])

    def test_other_spellings_a_controller_takes(self):
        self.assertEqual(decoded(b"W123 045\rW 1.5  2.25\rS\r"),
                         [("point", 123, 45), ("point", 1.5, 2.25), ("stop", None, None)])

    def test_commands_split_across_reads(self):
        self.assertEqual(decoded(b"W 30", b"3  1", b"34", b"\rS", b"\r"),
                         [("point", 303, 134), ("stop", None, None)])

    def test_blank_lines_ignored_and_the_rest_reported(self):
        self.assertEqual(decoded(b"\r\r \r"), [])
        for bad in (b"W 1  2\n\r", b"\nS\r", b"W 1\r", b"W\xe9 1  2\r", b"X\r", b"W 1  2  3\r",
                    b"SS\r"):
            with self.subTest(bad=bad):
                self.assertEqual(decoded(bad), [("unknown", None, None)])

    def test_unfinished_command_kept_pending(self):
        decoder = rotor_simulator.CommandDecoder()
        self.assertEqual(decoder.feed(b"S\rW 1"), [{"event": "stop", "text": "S\\r"}])
        self.assertEqual(decoder.pending, b"W 1")

    def test_printable_escapes_what_a_terminal_would_swallow(self):
        self.assertEqual(rotor_simulator.printable(b"W 1\r\n\x00\x1b\\\xff"),
                         "W 1\\r\\n\\x00\\x1b\\\\\\xff")


class SettingsReport(unittest.TestCase):
    def attributes(self, cflag=termios.CS8, iflag=0, lflag=0, speed=termios.B9600):
        return [iflag, 0, cflag, lflag, speed, speed, []]

    def test_every_parity_and_size(self):
        report = rotor_simulator.line_settings
        cases = [(0, "none"), (termios.PARENB, "even"), (termios.PARENB | termios.PARODD, "odd"),
                 (termios.PARENB | rotor_simulator.CMSPAR | termios.PARODD, "mark"),
                 (termios.PARENB | rotor_simulator.CMSPAR, "space")]
        for flags, parity in cases:
            self.assertEqual(report(self.attributes(termios.CS7 | flags))["parity"], parity)
        self.assertEqual(report(self.attributes(termios.CS5))["data_bits"], 5)

    def test_baud_stop_bits_flow_control(self):
        found = rotor_simulator.line_settings(self.attributes(
            termios.CS8 | termios.CSTOPB | termios.CRTSCTS, iflag=termios.IXON,
            lflag=termios.ICANON, speed=termios.B4800))
        self.assertEqual(found, {"baud": 4800, "data_bits": 8, "parity": "none", "stop_bits": 2,
                                 "rtscts": True, "xonxoff": True, "raw": False})


class SimulatorProcess(unittest.TestCase):
    def setUp(self):
        self.line = RotorLine().start()

    def tearDown(self):
        self.line.stop()
        self.line.remove_files()

    def open_far_end(self, speed=termios.B4800, stop_bits=2):
        fd = os.open(self.line.path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(fd)
        attributes = termios.tcgetattr(fd)
        attributes[4] = attributes[5] = speed
        if stop_bits == 2:
            attributes[2] |= termios.CSTOPB
        termios.tcsetattr(fd, termios.TCSANOW, attributes)
        return fd

    def test_sessions_bytes_commands_and_settings(self):
        for text in (b"W 123  45\r", b"S\r"):
            fd = self.open_far_end()
            self.assertIn(os.getpid(), self.line.holders())
            os.write(fd, text)
            os.close(fd)
            self.assertTrue(self.line.wait_for(lambda: len(self.line.sessions()) == (
                1 if text[0] == ord("W") else 2)))
        self.assertEqual(self.line.sessions(), [b"W 123  45\r", b"S\r"])
        self.assertEqual(self.line.received(), b"W 123  45\rS\r")
        self.assertEqual([c["event"] for c in self.line.commands()], ["point", "stop"])
        settings = self.line.settings()
        self.assertEqual((settings["baud"], settings["stop_bits"]), (4800, 2))
        self.assertEqual(self.line.holders(), [])
        stamps = [e["time"] for e in self.line.events()]
        self.assertEqual(stamps, sorted(stamps))

    def test_paused_controller_lets_buffers_fill(self):
        fd = self.open_far_end()
        self.line.pause()
        written = self.line.fill()
        self.assertGreater(written, 1000)
        os.set_blocking(fd, False)
        with self.assertRaises(BlockingIOError):
            os.write(fd, b"S\r")
        self.line.resume()
        self.line.wait_quiet()
        os.set_blocking(fd, True)
        os.write(fd, b"S\r")
        os.close(fd)
        self.line.wait_for(lambda: self.line.received().endswith(b"S\r"))
        self.assertEqual([c["event"] for c in self.line.commands()], ["stop"])

    def test_ends_cleanly_on_sigterm_with_unfinished_bytes_logged(self):
        fd = self.open_far_end()
        os.write(fd, b"W 1")
        self.line.wait_for_bytes(3)
        os.close(fd)
        self.assertEqual(self.line.stop(), 0)
        kinds = [e["event"] for e in self.line.events()]
        self.assertEqual(kinds[-2:], ["unfinished", "stopped"])


class Owner(unittest.TestCase):
    def test_stops_when_its_owner_goes(self):
        # A test that dies closes its end of the pipe; the simulator must not outlive it.
        proc = subprocess.Popen([sys.executable, str(TOOLS / "rotor_simulator.py"), "--quiet",
                                 "--stop-on-eof"], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, text=True, start_new_session=True)
        try:
            self.assertTrue(proc.stdout.readline().startswith("pty /dev/"))
            proc.stdin.close()
            self.assertEqual(proc.wait(timeout=5), 0)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            proc.stdout.close()


class ByHand(unittest.TestCase):
    def test_terminal_output_and_sigint(self):
        proc = subprocess.Popen([sys.executable, str(TOOLS / "rotor_simulator.py")],
                                stdout=subprocess.PIPE, text=True, start_new_session=True)
        try:
            first = proc.stdout.readline().split()
            self.assertEqual(first[0], "pty")
            fd = os.open(first[1], os.O_RDWR | os.O_NOCTTY)
            tty.setraw(fd)
            os.write(fd, b"W 7 -6\r")
            time.sleep(0.2)
            os.close(fd)
            time.sleep(0.1)
            proc.send_signal(signal.SIGINT)
            out, _ = proc.communicate(timeout=5)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.assertEqual(proc.returncode, 0)
        self.assertIn('57 20 37 20 2D 36 0D  "W 7 -6\\r"', out)
        self.assertIn("point     azimuth 7  elevation -6", out)
        self.assertRegex(out, r"\d\d:\d\d:\d\d\.\d\d\d  stopped\n$")


if __name__ == "__main__":
    run_tests(test_arguments(build=None)[1])
