#!/usr/bin/env python3
"""The simulated rotor controller: its decoding, its settings report and its life as a process.

Without Wine: the tests open the pty's far end themselves, as a serial port driver would.
"""

import os
import select
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
from rotor_line import RotorLine, point_command, pointed  # noqa: E402


def read(controller, *chunks):
    """What a controller made of the chunks: (event, azimuth, elevation, answer) per command."""
    reader = rotor_simulator.Controller(controller)
    found = []
    for chunk in chunks:
        found += [(e["event"], e.get("azimuth"), e.get("elevation"), answer)
                  for e, answer in reader.feed(chunk)]
    return found


def sign_positions_command(azimuth, elevation):
    """A point command with a sign position before each number and no padding ("W 123  45"
    CR): the form a controller that reads digits by position mistakes for another position."""
    def degrees(value):
        return (b"-" if value < 0 else b" ") + str(abs(value)).encode()
    return b"W" + degrees(azimuth) + b" " + degrees(elevation) + b"\r"


OK, REFUSED = b"\r", b"?>\r\n"


class Gs232(unittest.TestCase):
    def test_the_manuals_form_points_the_rotor_and_is_answered_with_cr(self):
        self.assertEqual(read("gs232", b"W123 045\rw000 180\rW360 000\rS\rs\r"),
                         [("point", 123, 45, OK), ("point", 0, 180, OK), ("point", 360, 0, OK),
                          ("stop", None, None, OK), ("stop", None, None, OK)])

    def test_commands_split_across_reads(self):
        self.assertEqual(read("gs232", b"W30", b"3 1", b"34", b"\rS", b"\r"),
                         [("point", 303, 134, OK), ("stop", None, None, OK)])

    def test_anything_else_is_refused_and_moves_nothing(self):
        controller = rotor_simulator.Controller("gs232")
        controller.feed(b"W010 020\r")
        bad = [b"W 123  45\r", b"W 7 -6\r", b"W12 045\r", b"W0123 045\r", b"W123  045\r",
               b"W123 181\r", b"W361 000\r", b"W-10 000\r", b"W123 045 \r", b"W1.5 002\r",
               b"W123\n045\r", b"W\xe923 045\r", b"X\r", b"SS\r", b"W010 020 030 040 050\r"]
        for line in bad:
            with self.subTest(line=line):
                [(event, answer)] = controller.feed(line)
                self.assertEqual((event["event"], answer, event["rotor"]),
                                 ("refused", REFUSED, [10, 20]))
        self.assertEqual(controller.refused, len(bad))
        self.assertEqual(controller.feed(b"\r\r \r"), [])  # blank lines are nothing

    def test_unfinished_command_kept_pending(self):
        controller = rotor_simulator.Controller("gs232")
        self.assertEqual([e["event"] for e, _ in controller.feed(b"S\rW1")], ["stop"])
        self.assertEqual(controller.pending, b"W1")


class FixedOffsets(unittest.TestCase):
    def test_digits_by_position_and_long_lines_to_zero(self):
        self.assertEqual(read("fixed-offsets", b"W123 045\r", b"W359 180\r", b"W 123  45\r"),
                         [("point", 123, 45, OK), ("point", 359, 180, OK),
                          ("refused", None, None, REFUSED)])
        controller = rotor_simulator.Controller("fixed-offsets")
        controller.feed(b"W200 030\r")
        [(event, _)] = controller.feed(b"W 288  0\r")  # 8 characters: read, out of range
        self.assertEqual(event["rotor"], [200, 30])
        [(event, _)] = controller.feed(b"W 123  45\r")  # 9: a timed list this build lacks
        self.assertEqual(event["rotor"], [0, 0])

    def test_only_the_three_digit_form_reaches_every_position(self):
        # Every whole position a pass can give, the way the station once sent it and the way
        # it sends it now, through both kinds of controller.
        for kind in ("fixed-offsets", "gs232"):
            old, new = rotor_simulator.Controller(kind), rotor_simulator.Controller(kind)
            new_wrong, count = [], 0
            for azimuth in range(360):
                for elevation in range(-90, 181):
                    count += 1
                    target = list(pointed(azimuth, elevation))
                    old.feed(sign_positions_command(azimuth, elevation))
                    [(event, answer)] = new.feed(point_command(azimuth, elevation))
                    if event["rotor"] != target or answer != OK:
                        new_wrong.append((azimuth, elevation, event))
            with self.subTest(kind=kind):
                self.assertEqual(new_wrong[:3], [])
                self.assertEqual(new.refused, 0)
                # The old form: every one refused, and the rotor never left 0/0.
                self.assertEqual(old.refused, count)
                self.assertEqual((old.azimuth, old.elevation), (0, 0))


class Listen(unittest.TestCase):
    def test_reads_as_gs232_but_answers_and_moves_nothing(self):
        self.assertEqual(read("listen", b"W123 045\rW 7 -6\rS\r"),
                         [("point", 123, 45, b""), ("refused", None, None, b""),
                          ("stop", None, None, b"")])
        controller = rotor_simulator.Controller("listen")
        controller.feed(b"W123 045\r")
        self.assertEqual(controller.azimuth, 0)

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
        for text in (point_command(123, 45), b"S\r"):
            fd = self.open_far_end()
            self.assertIn(os.getpid(), self.line.holders())
            os.write(fd, text)
            os.close(fd)
            self.assertTrue(self.line.wait_for(lambda: len(self.line.sessions()) == (
                1 if text[0] == ord("W") else 2)))
        self.assertEqual(self.line.sessions(), [point_command(123, 45), b"S\r"])
        self.assertEqual(self.line.received(), point_command(123, 45) + b"S\r")
        self.assertEqual([c["event"] for c in self.line.commands()], ["point", "stop"])
        settings = self.line.settings()
        self.assertEqual((settings["baud"], settings["stop_bits"]), (4800, 2))
        self.assertEqual(self.line.holders(), [])
        stamps = [e["time"] for e in self.line.events()]
        self.assertEqual(stamps, sorted(stamps))

    def test_a_board_that_resets_boots_at_every_open(self):
        self.line.stop()
        self.line = RotorLine(reset_on_open=(400, 800)).start()
        for _ in range(2):
            opened = time.monotonic()
            fd = self.open_far_end()
            os.write(fd, point_command(10, 20))  # to the bootloader
            time.sleep(max(0.0, opened + 0.6 - time.monotonic()))
            os.write(fd, point_command(30, 40) + b"S\r")  # the firmware's guard: only S acts
            time.sleep(max(0.0, opened + 1.4 - time.monotonic()))
            os.write(fd, point_command(50, 60))
            self.assertTrue(self.line.wait_for(lambda: self.line.rotor() == (50, 60)))
            os.close(fd)
            self.assertTrue(self.line.wait_closed())
        kinds = [e["event"] for e in self.line.events("opened", "boot", "lost", "ignored",
                                                        "stop", "point", "closed")]
        once = ["opened", "boot", "lost", "ignored", "stop", "point", "closed"]
        self.assertEqual(kinds, once + once)

    def test_old_form_sends_a_fixed_offsets_controller_to_zero_and_the_new_one_does_not(self):
        self.line.stop()
        self.line = RotorLine("fixed-offsets").start()
        fd = self.open_far_end()
        for count, command in enumerate((point_command(200, 30), sign_positions_command(123, 45),
                                         point_command(123.4, 45.6)), 1):
            os.write(fd, command)
            self.assertTrue(self.line.wait_for(lambda: len(self.line.commands()) == count))
        answers = b""
        while len(answers) < 6 and select.select([fd], [], [], 5)[0]:
            answers += os.read(fd, 100)
        os.close(fd)
        self.assertEqual([(c["event"], c["rotor"]) for c in self.line.commands()],
                         [("point", [200, 30]), ("refused", [0, 0]), ("point", [123, 45])])
        self.assertEqual(answers, b"\r?>\r\n\r")
        self.assertEqual(self.line.rotor(), (123, 45))

    def test_answers_never_block_it_nor_come_back_as_input(self):
        fd = self.open_far_end()
        commands = b"S\r" * 40000  # answered with 40000 CRs that nobody reads
        for k in range(0, len(commands), 4096):
            os.write(fd, commands[k:k + 4096])
        self.assertEqual(self.line.wait_for_bytes(len(commands), timeout=30), commands)
        os.close(fd)
        self.assertEqual(self.line.stop(), 0)
        self.assertEqual(len(self.line.events("stop")), 40000)
        stopped = self.line.events("stopped")[-1]
        self.assertEqual(stopped["refused"], 0)
        self.assertGreater(stopped["answers_dropped"], 0)

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
        self.line.wait_for(self.line.commands)
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
            os.write(fd, b"W 7 -6\rW007 000\r")
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
        self.assertIn('57 20 37 20 2D 36 0D 57 30 30 37 20 30 30 30 0D  "W 7 -6\\rW007 000\\r"',
                      out)
        self.assertIn('refused   "W 7 -6\\r" (not Waaa eee)  rotor at 0/0, answered "?>\\r\\n"', out)
        self.assertIn('point     azimuth 7  elevation 0  rotor at 7/0, answered "\\r"', out)
        self.assertRegex(out, r"\d\d:\d\d:\d\d\.\d\d\d  stopped   1 refused, 0 answer bytes dropped\n$")


if __name__ == "__main__":
    run_tests(test_arguments(build=None)[1])
