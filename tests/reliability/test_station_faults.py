"""The real vorkelDDE.exe under Wine against faults of the tracking program, of the serial line
and of the operator.

In every case: the station's window answers within 1.5 s at every moment (sampled every 100 ms
by window_probe's watch), the process lives on, a fault shows in Label1 and in the title for as
long as it lasts, and once it ends the display and the rotor come back by themselves, with the
DDE conversation as the one exception (it is never made again, by design). The rotor only ever
receives whole commands.

One Wine session serves all cases; each case starts its own tracking program, rotor controller
and station. Windows are unmanaged in this session: on a bare X server Wine otherwise stalls
the thread that closes a window for 2 s, waiting for a window manager that is not there.
"""

import json
import os
import random
import re
import signal
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "testing"))
from driver_args import run_tests, test_arguments  # noqa: E402
from station_rig import FAILURE_TITLE, IDS, TITLE, StationRig  # noqa: E402
from rotor_line import point_command  # noqa: E402
from station_watch import (BOLD, REGULAR, Watch, answered, between,  # noqa: E402
                           malformed, received_since, requests, resources, tick_report,
                           unavailable, whole_commands_only)
from wine_session import wait_until  # noqa: E402

BUILD = None
TRACKER_BUILD = None  # the tracking simulator's build tree: the station's, or the other bitness's
PREFIX = None
ARTIFACTS = None
RIG = None

WORKED = "aaSAT aa123.4 aa45.6 aa145.95 aa435.1zz"
NORMAL = point_command(123.4, 45.6)
INVERTED = point_command(303.4, 134.4)
BOX_TITLE = "Informaci"  # the about box; window_probe's title argument stays ASCII

def repeated(*commands, then=rb""):
    """A pattern for one or more of the commands, in any order, then `then`."""
    return rb"\A(?:" + b"|".join(map(re.escape, commands)) + rb")+" + then + rb"\Z"

# A tick fails or succeeds at most this long after a fault begins or ends: the next tick comes
# within a second and takes at most 0.3 s waiting for the tracking program.
SETTLE = 1.4
# The pass: its heap is taken after the first ticks (the window's texts and Wine's caches
# settle) and at the end; less than a byte per request may stay, over what the texts' changing
# lengths move (see tools/soak.py).
PASS_TICKS, HEAP_FROM_TICK, TEXT_SLACK_BYTES = 30, 8, 64


def setUpModule():
    global RIG
    RIG = StationRig(BUILD, tracker=None, prefix=PREFIX, tracker_build=TRACKER_BUILD)
    RIG.__enter__()


def tearDownModule():
    RIG.__exit__(None, None, None)


def weight_flips(samples):
    """How often Label1's weight changed across the samples."""
    weights = [s.weight for s in samples if s.weight in (BOLD, REGULAR)]
    return sum(1 for a, b in zip(weights, weights[1:]) if a != b)


class StationCase(unittest.TestCase):
    """Starts the pieces a case asks for; checks what every case must hold."""

    def setUp(self):
        self.rig = RIG
        self.rig.new_line()
        self.watch = None
        self.samples = None

    def tearDown(self):
        if self.watch is not None:
            self.watch.stop()
            self.watch.save(ARTIFACTS / f"{self.id().split('.', 1)[1]}.jsonl")
        self.rig.stop_programs()
        self.rig.tracker = self.rig.station = None

    def start(self, tracker=("--record", WORKED), sending=True, driver=None):
        # Every tick of a case must have had sending on. On a loaded machine the first tick can
        # come before the click on the send switch lands; such a start is made again.
        for _ in range(3):
            if tracker is not None:
                self.rig.start_tracker([*tracker, "--log-records"])
            self.rig.start_station(driver=driver)
            self.started = time.time()
            self.watch = Watch(self.rig)
            if not sending:
                return
            self.rig.press("chk_update")
            self.assertTrue(wait_until(lambda: self.rig.widgets()["chk_update"]["checked"], 5))
            ticks = len(answered(self.rig))
            if wait_until(lambda: len(self.rig.line.commands()) >= ticks, timeout=1.5):
                return
            self.watch.stop()
            self.rig.stop_programs()
            self.rig.new_line()
        self.fail("every start had a tick before sending was on")

    def finish(self):
        """Ends the watch; checks that the station answered throughout and is still running."""
        self.assertTrue(self.rig.station_running(), "the station has ended")
        self.samples = self.watch.stop()
        seen = between(self.samples, self.started, time.time())
        self.assertGreater(len(seen), 5)
        hung = [s for s in seen if not s.answers]
        self.assertEqual(hung, [], f"{len(hung)} samples without an answer within 1.5 s")
        gaps = [b.unix - a.unix for a, b in zip(seen, seen[1:])]
        self.assertLess(max(gaps), 1.0, "the watch itself was held up")
        return self.samples

    # -- what a stretch of time showed ---------------------------------------------------
    def assertFailing(self, start, end):
        shown = [s for s in between(self.samples, start, end) if not s.torn]
        self.assertGreater(len(shown), 3)
        # A tick that fails at the port shows its record in Label1 until its write has given up
        # (a tenth of a second or two): samples of that moment, the failure still in the title
        # and a failing sample again within half a second, are the tick at work, not the
        # failure gone.
        at_work, run = set(), []
        for sample in shown:
            if sample.failing:
                at_work.update(id(s) for s in run if s.unix > sample.unix - 0.5)
                run = []
            elif sample.title == FAILURE_TITLE and sample.icon == "warning":
                run.append(sample)
            else:
                run = []
        wrong = [(round(s.unix - start, 2), s.title, s.icon, s.texts.get("Label1")) for s in shown
                 if not s.failing and id(s) not in at_work]
        self.assertEqual(wrong, [], "the failure was not shown throughout")

    def assertWorking(self, start, end):
        shown = [s for s in between(self.samples, start, end) if not s.torn]
        self.assertGreater(len(shown), 3)
        wrong = [(round(s.unix - start, 2), s.title, s.icon, s.texts.get("Label1")) for s in shown
                 if not s.working]
        self.assertEqual(wrong, [], "the station did not show its records throughout")

    def assertFlipsEveryTick(self, start, end):
        ticks = int(end - start)
        flips = weight_flips(between(self.samples, start, end))
        self.assertGreaterEqual(flips, ticks - 1, "Label1 did not turn bold and back each tick")
        self.assertLessEqual(flips, ticks + 1)

    def commands(self, start=0.0, end=float("inf"), line=None):
        line = line or self.rig.line
        return [e for e in line.commands() if start <= e["time"] < end]

    def assertWholeCommands(self, line=None, filler=b""):
        line = line or self.rig.line
        self.assertEqual(malformed(line), [])
        received = received_since(line)
        self.assertTrue(whole_commands_only(received, filler), received[-80:])


class TrackingProgramFaults(StationCase):
    def test_bad_records_between_good_ones(self):
        # Each bad record is followed by a good one, so that each failure must be recovered from
        # at the very next tick. Served one per request, so request n gets line n-1 (cyclic).
        rng = random.Random(7)
        bad = [
            ("random bytes", rng.randbytes(60).replace(b"\n", b"."), None, {}),
            ("no blanks", b"SNAO-7AZ123.4EL45.6DN145950000UP435100000", "fails", {}),
            ("only blanks", b" " * 40, "fails", {}),
            ("empty", b"", "fails", {}),
            ("random bytes", rng.randbytes(60).replace(b"\n", b"."), None, {}),
            ("1 MiB", b"SNBIG AZ1 EL2 DN3 UP" + b"4" * (1 << 20), "fails", {}),
            ("NUL inside", b"SNNUL-1 AZ\0 EL45.6 DN1 UP2", "fails", {"txt_nombre": "NUL-1"}),
            ("azimuth 1E400", b"SNHUGE AZ1E400 EL10 DN1 UP2", "fails", {"txt_azi": "1E400"}),
            ("elevation -1E400", b"SNHUGE AZ10 EL-1E400 DN1 UP2", "fails",
             {"txt_ele": "-1E400"}),
            ("random bytes", rng.randbytes(60).replace(b"\n", b"."), None, {}),
            ("tags alone", b"SN AZ EL DN UP", "shows",
             {"txt_nombre": "", "txt_azi": "", "txt_iazi": " 180", "txt_iele": " 180"}),
        ]
        script = []
        for k, (name, record, outcome, fields) in enumerate(bad):
            azimuth, elevation = f"{100 + k}.5", f"{20 + k}.5"
            good = f"SNSAT-{k} AZ{azimuth} EL{elevation} DN145950000 UP435100000".encode()
            script.append(("good", good, "shows", {"txt_nombre": f"SAT-{k}", "txt_azi": azimuth,
                                                   "txt_ele": elevation},
                           point_command(azimuth, elevation)))
            command = point_command("0", "0") if outcome == "shows" else None
            script.append((name, record, outcome, fields, command))
        with tempfile.TemporaryDirectory(prefix="vorkel-script-") as directory:
            path = Path(directory) / "records.txt"
            path.write_bytes(b"\n".join(entry[1] for entry in script))
            self.start(["--script", self.rig.windows_path(path)])
            self.assertTrue(wait_until(lambda: len(answered(self.rig)) > len(script), 60))
            time.sleep(0.5)
        self.finish()
        self.assertWholeCommands()

        served = answered(self.rig)
        failing_ticks = []
        for index, request in enumerate(served[:len(script) + 1]):
            name, record, outcome, fields, command = script[(request["n"] - 1) % len(script)]
            with self.subTest(request=request["n"], record=name):
                self.assertEqual(request["record"][:len(record)][:200], record[:200])
                start = request["received"]
                end = served[index + 1]["received"] if index + 1 < len(served) else start + 1
                sent = [e["text"].encode().replace(b"\\r", b"\r")
                        for e in self.commands(start, end)]
                shown = [s for s in between(self.samples, start + 0.15, end - 0.05)
                         if not s.torn]
                self.assertGreaterEqual(len(shown), 3)
                if outcome == "shows":
                    self.assertEqual(sent, [command])
                    self.assertTrue(all(s.working for s in shown), shown[0])
                    self.assertTrue(all(s.texts["Label1"] == record.decode() + "\r\n"
                                        for s in shown))
                elif outcome == "fails":
                    self.assertEqual(sent, [])
                    self.assertTrue(all(s.failing for s in shown), shown[0])
                else:  # random bytes: either, but only ever a whole command
                    self.assertLessEqual(len(sent), 1)
                    self.assertTrue(all(s.failing for s in shown) or
                                    all(s.working for s in shown))
                for field, text in fields.items():
                    self.assertTrue(all(s.texts[field] == text for s in shown), (field, text))
                if all(s.failing for s in shown):
                    failing_ticks.append({s.weight for s in shown})
        # Each failing tick turns Label1 bold or back, whatever succeeded in between.
        self.assertTrue(all(len(w) == 1 for w in failing_ticks), failing_ticks)
        weights = [w.pop() for w in failing_ticks]
        self.assertGreaterEqual(len(weights), 8)
        self.assertTrue(all(a != b for a, b in zip(weights, weights[1:])), weights)

    def test_hangs_resumes_then_dies(self):
        self.start(["--pass", "AO-7", "--speed", "30"])
        time.sleep(3)
        tracker = self.rig.tracker_pid()
        hung = time.time()
        os.kill(tracker, signal.SIGSTOP)  # answers nothing, holds every request
        time.sleep(5)
        resumed = time.time()
        os.kill(tracker, signal.SIGCONT)
        time.sleep(4)
        killed = time.time()
        os.kill(tracker, signal.SIGKILL)  # gone without a goodbye
        time.sleep(4)
        end = time.time()
        self.finish()

        self.assertFailing(hung + SETTLE, resumed)
        self.assertFlipsEveryTick(hung + SETTLE, resumed)
        self.assertEqual(self.commands(hung + 0.5, resumed), [])
        # Requests the hung program held are answered late; the next tick takes such an answer
        # for its own, then every tick goes through again.
        self.assertWorking(resumed + SETTLE, killed)
        self.assertGreaterEqual(len(self.commands(resumed + SETTLE, killed)), 2)
        # A conversation that has ended is not made again.
        self.assertFailing(killed + SETTLE, end)
        self.assertEqual(self.commands(killed + 0.5, end), [])
        self.assertWholeCommands()

    def test_quits_in_the_middle(self):
        self.start(["--pass", "AO-7", "--quit-after", "4"])
        self.assertTrue(wait_until(lambda: not self.rig.tracker.running(), timeout=15))
        quit_at = time.time()
        time.sleep(5)
        end = time.time()
        self.finish()
        # Every answer it gave before leaving was turned into a command, none after.
        self.assertEqual(len(answered(self.rig)), 4)
        self.assertEqual(len(self.commands()), 4)
        self.assertFailing(quit_at + SETTLE, end)
        self.assertFlipsEveryTick(quit_at + SETTLE, end)
        self.assertWholeCommands()

    def test_starts_after_the_station(self):
        self.start(tracker=None)
        time.sleep(3)
        late = time.time()
        self.rig.start_tracker(["--record", WORKED, "--log-records"])
        time.sleep(4)
        end = time.time()
        self.finish()
        # Connecting is tried once, at start-up: the station goes on failing.
        self.assertFailing(self.started + SETTLE, end)
        self.assertFlipsEveryTick(self.started + SETTLE, late)
        self.assertEqual(requests(self.rig), [])
        self.assertEqual(received_since(self.rig.line), b"")


class TrackingProgramAnswers(StationCase):
    """How the tracking program answers, from a normal pass to none at all. These cases and the
    two above (a hang, then late answers; quitting) also run with the tracking program of the
    other bitness (--tracker-build): Windows converts DDE messages between 32- and 64-bit
    programs, and Wine's 32-bit side is a separate build of its DLLs."""

    def test_pass_with_sending_on(self):
        self.start(["--pass", "AO-7", "--speed", "30"])
        self.assertTrue(wait_until(lambda: len(answered(self.rig)) >= HEAP_FROM_TICK, 20))
        first, first_ticks = resources(self.rig), len(answered(self.rig))
        self.assertTrue(wait_until(lambda: len(answered(self.rig)) >= PASS_TICKS, PASS_TICKS + 10))
        last, last_ticks = resources(self.rig), len(answered(self.rig))
        time.sleep(1.2)
        end = time.time()
        self.finish()
        self.assertWorking(self.started + SETTLE, end)
        self.assertWholeCommands()
        served = answered(self.rig)
        # Every tick's command is the one for its own record (the last tick's may be on its way).
        report = tick_report(served[:-1], self.rig.line.events(), served[-1]["received"])
        self.assertEqual((report["missed"], report["repeated"], report["unexpected"]),
                         ([], [], []))
        self.assertGreaterEqual(report["ticks"], PASS_TICKS)
        self.assertEqual(unavailable(first) + unavailable(last), [])
        requests_between = last_ticks - first_ticks
        grown = last["windows"]["heap_bytes"] - first["windows"]["heap_bytes"]
        print(f"heap per request: {grown / requests_between:+.2f} B over {requests_between} "
              f"requests", flush=True)
        self.assertLess(grown, requests_between + TEXT_SLACK_BYTES, "the heap grows per request")
        self.assertEqual(last["windows"]["gdi_objects"], first["windows"]["gdi_objects"])

    def test_refused(self):
        self.start(["--pass", "AO-7", "--refuse"])
        time.sleep(4)
        end = time.time()
        self.finish()
        self.assertGreaterEqual(len([r for r in requests(self.rig) if r["what"] == "refused"]), 3)
        self.assertFailing(self.started + SETTLE, end)
        self.assertFlipsEveryTick(self.started + SETTLE, end)
        self.assertEqual(received_since(self.rig.line), b"")

    def test_late_answer(self):
        # The third answer comes 0.6 s late, after its tick has given up on it and before the
        # next tick: that tick fails, and the late record is neither shown nor sent.
        self.start(["--pass", "AO-7", "--speed", "30", "--delay", "600", "--delay-only", "3"])
        self.assertTrue(wait_until(lambda: len(answered(self.rig)) >= 7, timeout=15))
        time.sleep(0.5)
        end = time.time()
        self.finish()
        self.assertWholeCommands()
        served = answered(self.rig)
        report = tick_report(served[:-1], self.rig.line.events(), served[-1]["received"])
        self.assertEqual(report["missed"], [3])
        self.assertEqual((report["repeated"], report["unexpected"]), ([], []))
        late, next_tick = served[2], served[3]
        self.assertFailing(late["received"] + 0.4, next_tick["received"] - 0.05)
        self.assertWorking(next_tick["received"] + 0.3, end)
        shown = {s.texts.get("Label1") for s in between(self.samples, late["received"], end)}
        self.assertNotIn(late["record"].split(b"\0")[0].decode(), shown)


class RotorLineFaults(StationCase):
    def test_port_missing_at_start_up(self):
        self.rig.point_port_at(None)
        # Sending is switched on here, not by start(): a start made again would plug a
        # controller in.
        self.start(["--pass", "AO-7", "--speed", "30"], sending=False)
        self.rig.press("chk_update")
        sending = time.time()
        time.sleep(4)
        back = time.time()
        self.rig.new_line()
        time.sleep(4)
        end = time.time()
        self.finish()
        self.assertFailing(sending + SETTLE, back)
        # The fields go on following the tracking program meanwhile.
        azimuths = {s.texts["txt_azi"] for s in between(self.samples, sending + SETTLE, back)}
        self.assertGreaterEqual(len(azimuths), 3)
        self.assertWorking(back + SETTLE, end)
        self.assertGreaterEqual(len(self.commands()), 3)
        self.assertWholeCommands()

    def test_port_vanishes_and_comes_back(self):
        self.start(["--pass", "AO-7", "--speed", "30"])
        time.sleep(3)
        gone = time.time()
        first = self.rig.unplug()  # the controller dies and its pty with it
        time.sleep(4)
        back = time.time()
        self.rig.new_line()
        time.sleep(4)
        end = time.time()
        self.finish()
        self.assertGreaterEqual(len(self.commands(line=first)), 2)
        self.assertFailing(gone + SETTLE, back)
        self.assertWorking(back + SETTLE, end)
        # The new controller's very first bytes are a whole command, and the port found again
        # is held from then on.
        self.assertGreaterEqual(len(self.commands()), 3)
        self.assertWholeCommands()
        self.assertEqual(len(self.rig.line.events("opened")), 1)

    def test_controller_that_resets_on_open_follows_the_pass_after_its_boot(self):
        # A board that resets whenever its port is opened loses what arrives while it boots and
        # ignores W commands for its guard time after that: held open, it costs one boot.
        self.rig.new_line(reset_on_open=(1000, 5000))
        self.start(["--pass", "AO-7", "--speed", "30"], sending=False)
        self.rig.press("chk_update")
        time.sleep(13)
        self.finish()
        line = self.rig.line
        self.assertEqual(len(line.events("opened")), 1)
        boots = line.events("boot")
        self.assertEqual(len(boots), 1)
        # One tick after the guard time ends, every tick points the rotor at the satellite.
        following = boots[0]["time"] + 7
        ticks = [t for t in answered(self.rig) if t["received"] >= following]
        report = tick_report(ticks, line.events())
        self.assertGreaterEqual(report["ticks"], 4)
        self.assertEqual((report["missed"], report["unexpected"]), ([], []), report)
        self.assertWorking(self.started + SETTLE, time.time())

    def test_unticking_frees_the_port_and_stop_still_reaches_the_rotor(self):
        self.start()
        line = self.rig.line
        self.assertTrue(wait_until(lambda: len(self.commands()) >= 3, timeout=6))
        self.assertEqual(len(line.events("opened")), 1)  # held from tick to tick
        self.assertTrue(line.holders())
        self.rig.press("chk_update")
        self.assertTrue(line.wait_closed(timeout=3))
        time.sleep(2.2)  # ticks go on with the port free for other programs
        self.assertEqual(line.holders(), [])
        self.rig.press("cmd_stop")
        self.assertTrue(wait_until(lambda: received_since(line).endswith(b"S\r"), timeout=5))
        self.assertTrue(line.wait_closed(timeout=3))
        self.assertEqual(line.holders(), [])
        self.finish()
        self.assertEqual(len(line.events("opened")), 2)
        self.assertWorking(self.started + SETTLE, time.time())

    def test_port_held_or_refused(self):
        self.start(["--pass", "AO-7", "--speed", "30"])
        time.sleep(2)
        # Another program has the line open as well. Neither Wine nor a Linux pty makes serial
        # ports exclusive, so the station is not refused: its commands must still arrive whole.
        held = time.time()
        other = os.open(self.rig.line.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            time.sleep(3)
        finally:
            os.close(other)
        # What the station gets on Windows when another program holds the port as sending is
        # switched on, access denied, comes from a port that leads to a directory.
        self.rig.press("chk_update")
        self.assertTrue(self.rig.line.wait_closed(timeout=3))
        with tempfile.TemporaryDirectory(prefix="vorkel-not-a-port-") as directory:
            self.rig.point_port_at(directory)
            self.rig.press("chk_update")
            refused = time.time()
            time.sleep(4)
            back = time.time()
            self.rig.point_port_at(self.rig.line.path)
            time.sleep(4)
        end = time.time()
        self.finish()
        self.assertWorking(held + SETTLE, refused)
        self.assertGreaterEqual(len(self.commands(held + 0.5, refused)), 2)
        self.assertFailing(refused + SETTLE, back)
        self.assertEqual(self.commands(refused + 0.5, back), [])
        self.assertWorking(back + SETTLE, end)
        self.assertGreaterEqual(len(self.commands(back, end)), 3)
        self.assertWholeCommands()

    def test_writes_that_fail(self):
        self.start(["--pass", "AO-7", "--speed", "30"])
        time.sleep(3)
        # The controller stops reading and its line stays full: every write times out.
        line = self.rig.line
        blocked = time.time()
        line.pause()
        stop_filling = threading.Event()

        def keep_full():
            while not stop_filling.is_set():
                line.fill(settle=0.02)
                stop_filling.wait(0.05)

        filler = threading.Thread(target=keep_full)
        filler.start()
        try:
            time.sleep(5)
        finally:
            stop_filling.set()
            filler.join()
            line.resume()
        free = time.time()
        time.sleep(4)
        end = time.time()
        self.finish()
        self.assertFailing(blocked + SETTLE, free)
        self.assertWorking(free + SETTLE, end)
        # Nothing but the filler and whole commands reached the controller; the first command
        # after the fault is whole.
        self.assertWholeCommands(filler=b"\r")
        after = self.commands(free)
        self.assertGreaterEqual(len(after), 3)
        self.assertTrue(all(e["event"] == "point" for e in after))


class StricterDrivers(StationCase):
    """COM1 behind a driver as Windows may have one, which Wine hides (tools/wine/
    serial_driver.c): no tick and no Stop may wait on anything the write's time limit does not
    bound, and a driver without flushing is no failure."""

    def setUp(self):
        super().setUp()
        if self.rig.serial_driver() is None:
            self.skipTest("no stricter serial driver for this build's bitness")

    def assertFollowsThePassThrough(self, driver):
        self.start(["--pass", "AO-7", "--speed", "30"], driver=driver)
        time.sleep(5)
        self.finish()  # the window answered throughout
        self.assertWorking(self.started + SETTLE, time.time())
        self.assertGreaterEqual(len(self.commands()), 4)
        self.assertEqual(len(self.rig.line.events("opened")), 1)  # held, never opened again
        self.assertWholeCommands()

    def test_flushing_that_hangs_for_good(self):
        self.assertFollowsThePassThrough("flush-blocks")

    def test_flushing_that_the_driver_cannot_do(self):
        self.assertFollowsThePassThrough("flush-fails")

    def test_stop_with_sending_off_fails_within_the_write_time_when_nothing_leaves(self):
        self.start(sending=False, driver="queue-stuck")
        pressed = time.time()
        self.rig.press("cmd_stop")
        self.assertTrue(wait_until(
            lambda: any(r.startswith("vorkelDDE: draining") for r in self.rig.failure_reasons()),
            timeout=3), self.rig.failure_reasons())
        self.assertTrue(self.rig.line.wait_closed(timeout=3))
        time.sleep(1.5)
        self.finish()  # the window answered throughout
        # The stop command is as long as its write may take: 100 ms and twice its 2 bytes' time.
        failed = [s for s in between(self.samples, pressed, time.time()) if s.failing]
        self.assertTrue(failed and failed[0].unix - pressed < 1.0,
                        "the failure did not show within the write's time")
        self.assertEqual(self.rig.line.holders(), [])
        reason = [r for r in self.rig.failure_reasons() if "draining" in r][0]
        self.assertRegex(reason, r"^vorkelDDE: draining \S*COM1: the line took no more within "
                                 r"\d+ ms \(9 bytes left unsent\)$")


class SessionEnd(StationCase):
    def test_the_session_ending_while_a_tick_waits_ends_the_sending(self):
        # Every answer takes 250 ms, and the end of the session is told in the middle of one of
        # those waits: the tick that waits must neither send its command nor open COM1 again.
        for attempt in range(4):
            self.start(["--record", WORKED, "--delay", "250"])
            self.assertTrue(wait_until(lambda: len(answered(self.rig)) >= 3, timeout=6))
            last = answered(self.rig)[-1]["received"]
            code, out = self.rig.probe("endsession", TITLE, f"{last + 3.1:.3f}")
            self.assertEqual(code, 0, out)
            told = json.loads(out.strip().splitlines()[-1])
            self.assertTrue(wait_until(lambda: any(t["received"] > last + 2.5
                                                   for t in answered(self.rig)), timeout=5))
            waited = [t for t in answered(self.rig) if t["received"] > last + 2.5][0]
            if waited["received"] < told["sent"] < waited["received"] + 0.2:
                break  # told while that request waited
            self.tearDown()
            self.setUp()
        else:
            self.fail("the end of the session never came while a request waited")
        time.sleep(2.5)
        self.finish()
        self.assertEqual(self.commands(told["sent"]), [])
        self.assertEqual(self.rig.line.holders(), [])
        self.assertWholeCommands()


class OperatorHaste(StationCase):
    def test_stop_pressed_many_times_quickly(self):
        self.start()
        self.assertTrue(wait_until(lambda: len(self.commands()) >= 2, timeout=5))
        self.rig.probe("press", TITLE, IDS["cmd_stop"], 20, 0)
        self.assertTrue(wait_until(lambda: received_since(self.rig.line).count(b"S\r") == 20,
                                   timeout=10))
        time.sleep(2.2)  # two more ticks: sending is off
        self.finish()
        received = received_since(self.rig.line)
        self.assertRegex(received, repeated(NORMAL, then=rb"(?:S\r){20}"))
        self.assertFalse(self.rig.widgets()["chk_update"]["checked"])
        self.assertWorking(self.started + SETTLE, time.time())

    def test_stop_while_the_port_is_missing(self):
        self.start()
        self.assertTrue(wait_until(lambda: len(self.commands()) >= 2, timeout=5))
        missing = time.time()
        self.rig.unplug()
        self.rig.press("cmd_stop")
        pressed = time.time()  # the failed Stop shows at once; a loaded machine delays the press
        time.sleep(3)
        # The Stop did not reach the rotor: sending stays on, so nothing looks done.
        self.assertTrue(self.rig.widgets()["chk_update"]["checked"])
        back = time.time()
        self.rig.new_line()
        self.assertTrue(wait_until(lambda: self.commands(), timeout=5))
        self.rig.press("cmd_stop")
        self.assertTrue(wait_until(lambda: received_since(self.rig.line).endswith(b"S\r"), 5))
        time.sleep(1.5)
        end = time.time()
        self.finish()
        self.assertFailing(max(missing + 0.5, pressed + 0.3), back)
        self.assertWorking(back + SETTLE, end)
        self.assertRegex(received_since(self.rig.line), repeated(NORMAL, then=rb"S\r"))
        self.assertFalse(self.rig.widgets()["chk_update"]["checked"])

    def test_sending_switched_every_tick(self):
        self.start()
        self.rig.probe("press", TITLE, IDS["chk_update"], 10, 1000)  # ends switched on
        time.sleep(1.5)
        self.finish()
        received = received_since(self.rig.line)
        self.assertRegex(received, repeated(NORMAL))
        self.assertLessEqual(received.count(NORMAL), 10)
        self.assertGreaterEqual(received.count(NORMAL), 4)
        self.assertWorking(self.started + SETTLE, time.time())

    def test_normal_and_inverted_switched_every_tick(self):
        self.start()
        for _ in range(5):
            self.rig.press("Opt_invertido")
            time.sleep(1)
            self.rig.press("Opt_normal")
            time.sleep(1)
        self.finish()
        received = received_since(self.rig.line)
        self.assertRegex(received, repeated(NORMAL, INVERTED))
        self.assertGreaterEqual(received.count(INVERTED), 3)
        self.assertGreaterEqual(received.count(NORMAL), 3)
        self.assertWorking(self.started + SETTLE, time.time())

    def test_about_box_opened_and_closed_repeatedly(self):
        self.start()
        boxes = lambda: [w for w in self.rig.windows() if w["title"].startswith(BOX_TITLE)]

        def open_and_close():
            self.rig.press("cmd_acerca")
            self.assertTrue(wait_until(boxes, timeout=5))
            time.sleep(0.3)
            self.rig.probe("close", BOX_TITLE)
            self.assertTrue(wait_until(lambda: not boxes(), timeout=5))

        # The first two boxes leave GDI objects cached for the next ones (Wine's and ours), and
        # the first ticks with sending on what the port and the link keep.
        open_and_close()
        open_and_close()
        self.assertTrue(wait_until(lambda: len(self.commands()) >= 3, timeout=5))
        before = resources(self.rig)["windows"]
        ticks_before = len(answered(self.rig))
        for _ in range(5):
            open_and_close()
        after_all = resources(self.rig)
        self.assertEqual(unavailable(after_all), [], "counts the check relies on")
        after = after_all["windows"]
        ticks = len(answered(self.rig)) - ticks_before
        end = time.time()
        self.finish()
        self.assertEqual((after["windows"], after["gdi_objects"], after["handles"]),
                         (before["windows"], before["gdi_objects"], before["handles"]))
        # Neither the boxes nor the ticks meanwhile keep anything; 1 KiB for what may be in
        # use at one moment and not at another.
        self.assertLessEqual(after["heap_bytes"] - before["heap_bytes"], 1024, f"{ticks} ticks")
        self.assertWorking(self.started + SETTLE, end)
        # The ticks went on meanwhile.
        all_ticks = len(answered(self.rig))
        self.assertGreaterEqual(all_ticks, int(end - self.started) - 1)
        self.assertGreaterEqual(len(self.commands()), all_ticks - 1)
        self.assertRegex(received_since(self.rig.line), repeated(NORMAL))

    def test_resized_and_minimised_while_ticking(self):
        self.start()
        window = self.rig.main_window()
        width = window["rect"][2] - window["rect"][0]
        height = window["rect"][3] - window["rect"][1]
        for w, h in ((width + 200, height + 150), (width // 2, height // 2), (width, height)):
            self.rig.probe("resize", TITLE, w, h)
            time.sleep(0.7)
        self.rig.probe("minimize", TITLE)
        time.sleep(3)
        self.rig.probe("restore", TITLE)
        time.sleep(1.5)
        end = time.time()
        self.finish()
        self.assertEqual(self.rig.main_window()["client"], [217, 296])
        self.assertWorking(self.started + SETTLE, end)
        ticks = len(answered(self.rig))
        self.assertGreaterEqual(ticks, int(end - self.started) - 1)
        self.assertGreaterEqual(len(self.commands()), ticks - 1)
        self.assertRegex(received_since(self.rig.line), repeated(NORMAL))


if __name__ == "__main__":
    def own_arguments(parser):
        parser.add_argument("--tracker-build", help="the tracking simulator's (default: --build)")
        parser.add_argument("--prefix", help="the Wine prefix (default: the station build's)")
        parser.add_argument("--artifacts", help="where the watches' samples go")

    args, rest = test_arguments(own_arguments)
    BUILD = Path(args.build).resolve()
    TRACKER_BUILD = Path(args.tracker_build).resolve() if args.tracker_build else None
    PREFIX = Path(args.prefix).resolve() if args.prefix else None
    ARTIFACTS = Path(args.artifacts) if args.artifacts else BUILD / "artifacts" / "station_faults"
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    run_tests(rest)
