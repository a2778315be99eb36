#!/usr/bin/env python3
"""A simulated GS-232 rotor controller on a pseudo-terminal.

Point a serial port at the pty it prints and it reads the line as a real controller would:
every byte with its time, each command with what the controller understood of it and where
the rotor now points, its answer, the line settings the other end put on the line, and when
the other end opened and closed it. The rotor jumps to its target at once.

    $ tools/rotor_simulator.py
    pty /dev/pts/5
    12:00:01.234  opened
    12:00:01.235  settings  9600 baud, 8 data bits, no parity, 1 stop bit, no flow control
    12:00:01.236  bytes     57 31 32 33 20 30 34 35 0D  "W123 045\\r"
    12:00:01.236  point     azimuth 123  elevation 45  rotor at 123/45, answered "\\r"
    12:00:01.237  closed

Controllers (--controller):
  gs232          the manual's form only: "Waaa eee" (three digits each, azimuth 000..360,
                 elevation 000..180) or "S", either letter in either case. Anything else is
                 answered "?>" CR LF, counted as refused and moves nothing. The default.
  fixed-offsets  as the most widely used open-source controller firmware reads a W line: the
                 three characters after W and the three after the separator, by position,
                 each as byte - '0' unchecked; a line longer than 8 characters is taken for a
                 timed list this build lacks: "?>" and the rotor goes to 0/0.
  listen         reads as gs232 but answers nothing and moves nothing: a recorder for tests
                 of the serial transport, which send arbitrary bytes.

A board that resets when its port is opened (--reset-on-open, with any controller): many
hobby controllers run on boards whose DTR line resets them, and a program that opens the port
raises DTR. At every open of the line the simulated board boots: for the boot time (--boot-ms,
default 1000) every byte goes to its bootloader and is lost; then, for the guard time
(--guard-ms, default 5000), it ignores every W command without answering, as the widely used
open-source firmware does after it starts, while S still stops the rotor. Its log shows each
"boot", each "lost" chunk of bytes and each "ignored" command:

    12:00:01.234  opened
    12:00:01.234  boot      bootloader for 1000 ms, then W ignored for 5000 ms
    12:00:01.236  lost      "W123 045\\r"
    12:00:02.236  ignored   "W124 046\\r"

Answers never block the simulator: when the line towards the other end is full they are
dropped and counted. The pty is raw, so an answer never comes back to the simulator as input.

The first line of output is always "pty PATH", also with --quiet. With --log FILE every event
is also written to FILE as one JSON object a line, flushed at once, for programs to follow.
SIGTERM or SIGINT ends it cleanly with a last "stopped" event (with the counts of refused
commands and of dropped answer bytes); so does the end of standard input with --stop-on-eof.

A Linux pty shows the baud rate, stop bits and flow control the other end set, but always
reports 8 data bits and no parity, whatever was asked for.
"""

import argparse
import datetime
import fcntl
import json
import os
import re
import select
import signal
import sys
import termios
import time
import tty

CR = 0x0D
VALID = b"\r"
INVALID = b"?>\r\n"

# While nobody has the pty open its master reports a hang-up at once, every time it is asked;
# it is asked again after this long, which is also the shortest open that is sure to be seen.
CLOSED_POLL_SECONDS = 0.005

# Linux's flag for mark and space parity; Python's termios does not name it.
CMSPAR = 0o10000000000

BAUD_RATES = {getattr(termios, name): int(name[1:])
              for name in dir(termios) if name[:1] == "B" and name[1:].isdigit()}

MAX_AZIMUTH = 360
MAX_ELEVATION = 180
GS232_POINT = re.compile(rb"[Ww](\d{3}) (\d{3})")
GS232_STOP = re.compile(rb"[Ss]")


def printable(data):
    """Bytes as a readable text: ASCII as is, CR, LF and everything else escaped."""
    out = []
    for byte in data:
        if byte == CR:
            out.append("\\r")
        elif byte == 0x0A:
            out.append("\\n")
        elif byte == 0x5C:
            out.append("\\\\")
        elif 0x20 <= byte < 0x7F:
            out.append(chr(byte))
        else:
            out.append(f"\\x{byte:02x}")
    return "".join(out)


def in_range(azimuth, elevation):
    return 0 <= azimuth <= MAX_AZIMUTH and 0 <= elevation <= MAX_ELEVATION


def read_gs232(line):
    """What a controller that keeps to the manual makes of one line (without its CR):
    ("point", azimuth, elevation), ("stop",) or ("refused", why)."""
    if GS232_STOP.fullmatch(line):
        return ("stop",)
    match = GS232_POINT.fullmatch(line)
    if not match:
        return ("refused", "not Waaa eee")
    azimuth, elevation = int(match[1]), int(match[2])
    if not in_range(azimuth, elevation):
        return ("refused", "out of range")
    return ("point", azimuth, elevation)


def read_fixed_offsets(line):
    """What the widely used open-source firmware makes of one line: digits by position."""
    if GS232_STOP.fullmatch(line):
        return ("stop",)
    if line[:1] not in (b"W", b"w"):
        return ("refused", "unknown command")
    if len(line) > 8:
        return ("refused", "longer than 8 characters: a timed list, not built in", 0, 0)

    def number(first):
        # Past the end of the line the firmware finds its buffer's NUL.
        digits = [line[k] if k < len(line) else 0 for k in range(first, first + 3)]
        return sum((byte - ord("0")) * scale for byte, scale in zip(digits, (100, 10, 1)))

    azimuth, elevation = number(1), number(5)
    if not in_range(azimuth, elevation):
        return ("refused", f"out of range: {azimuth}/{elevation}")
    return ("point", azimuth, elevation)


READERS = {"gs232": read_gs232, "fixed-offsets": read_fixed_offsets, "listen": read_gs232}


class Controller:
    """Reads the byte stream a line at a time, at CR, whatever the read sizes, and keeps the
    rotor's position. Each line gives an event and the answer to send (b"" for none)."""

    def __init__(self, kind="gs232"):
        self.kind = kind
        self._read = READERS[kind]
        self._pending = bytearray()
        self.azimuth = 0
        self.elevation = 0
        self.refused = 0

    def reset(self):
        """A board that boots forgets the line it was reading; the rotor stays where it is."""
        self._pending.clear()

    def feed(self, data, guarded=False):
        """Returns (event, answer) for every line that data completes; blank lines are none.
        While guarded, W commands are ignored without an answer."""
        results = []
        for byte in data:
            if byte == CR:
                line = bytes(self._pending)
                self._pending.clear()
                if line.strip(b" "):
                    results.append(self._command(line, guarded))
            else:
                self._pending.append(byte)
        return results

    def _command(self, line, guarded=False):
        if guarded and line[:1] in (b"W", b"w"):
            return {"event": "ignored", "text": printable(line + b"\r"),
                    "rotor": [self.azimuth, self.elevation]}, b""
        reading = self._read(line)
        event = {"event": reading[0], "text": printable(line + b"\r")}
        moves = self.kind != "listen"
        if reading[0] == "point":
            event["azimuth"], event["elevation"] = reading[1], reading[2]
            if moves:
                self.azimuth, self.elevation = reading[1], reading[2]
        elif reading[0] == "refused":
            event["why"] = reading[1]
            self.refused += 1
            if moves and len(reading) == 4:
                self.azimuth, self.elevation = reading[2], reading[3]
        event["rotor"] = [self.azimuth, self.elevation]
        if not moves:
            return event, b""
        return event, INVALID if reading[0] == "refused" else VALID

    @property
    def pending(self):
        return bytes(self._pending)


def line_settings(attributes):
    """The settings in a termios attribute list, as the simulator reports them."""
    iflag, _oflag, cflag, lflag, _ispeed, ospeed, _cc = attributes
    size = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
    if not cflag & termios.PARENB:
        parity = "none"
    elif cflag & CMSPAR:
        parity = "mark" if cflag & termios.PARODD else "space"
    else:
        parity = "odd" if cflag & termios.PARODD else "even"
    return {"baud": BAUD_RATES.get(ospeed, 0),
            "data_bits": size,
            "parity": parity,
            "stop_bits": 2 if cflag & termios.CSTOPB else 1,
            "rtscts": bool(cflag & termios.CRTSCTS),
            "xonxoff": bool(iflag & (termios.IXON | termios.IXOFF)),
            "raw": not lflag & (termios.ICANON | termios.ECHO)}


def describe(event):
    """One event as a line for a person."""
    kind = event["event"]
    if kind == "bytes":
        return f"bytes     {event['hex'].upper()}  \"{event['text']}\""
    if kind in ("point", "stop", "refused"):
        understood = {"point": f"azimuth {event.get('azimuth')}  elevation {event.get('elevation')}",
                      "stop": "",
                      "refused": f"\"{event['text']}\" ({event.get('why')})"}[kind]
        rotor = event["rotor"]
        answered = f", answered \"{event['answer']}\"" if "answer" in event else ""
        return f"{kind:<9} {understood}{'  ' if understood else ''}rotor at {rotor[0]}/{rotor[1]}" \
               f"{answered}"
    if kind == "boot":
        return f"boot      bootloader for {event['boot_ms']} ms, then W ignored for " \
               f"{event['guard_ms']} ms"
    if kind in ("unfinished", "dropped", "lost", "ignored"):
        return f"{kind:<9} \"{event['text']}\""
    if kind == "stopped":
        return f"stopped   {event['refused']} refused, {event['answers_dropped']} answer bytes " \
               f"dropped"
    if kind == "settings":
        parity = "no" if event["parity"] == "none" else event["parity"]
        flow = [name for name, on in (("RTS/CTS", event["rtscts"]),
                                      ("XON/XOFF", event["xonxoff"])) if on]
        stops = "1 stop bit" if event["stop_bits"] == 1 else f"{event['stop_bits']} stop bits"
        return (f"settings  {event['baud']} baud, {event['data_bits']} data bits, "
                f"{parity} parity, {stops}, "
                f"{' and '.join(flow) + ' flow control' if flow else 'no flow control'}"
                f"{'' if event['raw'] else ', line editing on'}")
    if kind == "started":
        return f"started   on {event['pty']}"
    return kind


class Board:
    """The boot of a board that resets when its port is opened: when its bootloader takes the
    bytes, and when its firmware ignores W commands."""

    def __init__(self, boot_ms, guard_ms):
        self.boot_ms, self.guard_ms = boot_ms, guard_ms
        self._booted = None

    def boot(self):
        self._booted = time.monotonic()
        return {"event": "boot", "boot_ms": self.boot_ms, "guard_ms": self.guard_ms}

    def _since_boot_ms(self):
        return float("inf") if self._booted is None else (time.monotonic() - self._booted) * 1000

    def in_bootloader(self):
        return self._since_boot_ms() < self.boot_ms

    def guarded(self):
        return self._since_boot_ms() < self.boot_ms + self.guard_ms


class Simulator:
    def __init__(self, log_path=None, quiet=False, stop_on_eof=False, controller="gs232",
                 board=None):
        self._board = board
        self._quiet = quiet
        self._stop_on_eof = stop_on_eof
        self._log = open(log_path, "a", encoding="utf-8") if log_path else None
        self._controller = Controller(controller)
        self._answers_dropped = 0
        self._settings = None
        self._opened = False
        self._stopping = False
        self.master, slave = os.openpty()
        self.path = os.ttyname(slave)
        if os.getsid(0) == os.getpid():
            # A session leader with no terminal (Wine's server is one) that opens a tty takes it
            # as its controlling terminal, and gets SIGHUP when the simulator ends. Claiming it
            # first spares the other end that; done only when started in a session of our own.
            try:
                fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
            except OSError:
                pass
        if controller != "listen":
            # A controller answers; with echo on, its answers would come back as input.
            tty.setraw(slave)
        # Only the other end may hold the slave: its hang-up is how its close is seen.
        os.close(slave)
        os.set_blocking(self.master, False)
        self._wake_read, self._wake_write = os.pipe()
        os.set_blocking(self._wake_write, False)

    def request_stop(self, *_):
        self._stopping = True
        try:
            os.write(self._wake_write, b"x")
        except OSError:
            pass

    def emit(self, event):
        now = time.time()
        event = {"time": round(now, 6), **event}
        if self._log:
            self._log.write(json.dumps(event) + "\n")
            self._log.flush()
        if not self._quiet:
            stamp = datetime.datetime.fromtimestamp(now).strftime("%H:%M:%S.%f")[:-3]
            print(f"{stamp}  {describe(event)}", flush=True)

    def _check_settings(self):
        settings = line_settings(termios.tcgetattr(self.master))
        if settings != self._settings:
            self._settings = settings
            self.emit({"event": "settings", **settings})

    def _set_open(self, is_open):
        if is_open != self._opened:
            self._opened = is_open
            self.emit({"event": "opened" if is_open else "closed"})
            if is_open and self._board:
                self._controller.reset()
                self.emit(self._board.boot())

    def _received(self, data):
        # Bytes prove an opener even when its whole open was shorter than a poll.
        self._set_open(True)
        self._check_settings()
        self.emit({"event": "bytes", "hex": data.hex(" "), "text": printable(data)})
        if self._board and self._board.in_bootloader():
            self.emit({"event": "lost", "text": printable(data)})
            return
        answers = b""
        guarded = bool(self._board and self._board.guarded())
        for event, answer in self._controller.feed(data, guarded):
            if answer:
                event["answer"] = printable(answer)
                answers += answer
            self.emit(event)
        if answers:
            self._answer(answers)

    def _answer(self, answers):
        """Sends answers towards the other end without ever waiting; what does not fit into
        the line is dropped and counted (in bytes)."""
        try:
            sent = os.write(self.master, answers)
        except OSError:  # the line is full, or nobody holds it
            sent = 0
        if sent < len(answers):
            self._answers_dropped += len(answers) - sent
            self.emit({"event": "dropped", "text": printable(answers[sent:])})

    def _waiter(self, with_master):
        poller = select.poll()
        if with_master:
            poller.register(self.master, select.POLLIN)
        poller.register(self._wake_read, select.POLLIN)
        if self._stop_on_eof:
            poller.register(sys.stdin.fileno(), select.POLLIN)
        return poller

    def _check_stdin(self, ready):
        state = ready.get(sys.stdin.fileno(), 0) if self._stop_on_eof else 0
        if state & select.POLLIN:
            try:
                ended = not os.read(sys.stdin.fileno(), 4096)
            except OSError:
                ended = True
            if ended:
                self.request_stop()
        elif state & (select.POLLHUP | select.POLLERR | select.POLLNVAL):
            self.request_stop()

    def run(self):
        self.emit({"event": "started", "pty": self.path})
        self._check_settings()
        poller = self._waiter(with_master=True)
        idle = self._waiter(with_master=False)
        while not self._stopping:
            ready = dict(poller.poll(200))
            self._check_stdin(ready)
            if self._stopping:
                break
            state = ready.get(self.master, 0)
            hung_up = bool(state & select.POLLHUP)
            if state & select.POLLIN:
                try:
                    data = os.read(self.master, 65536)
                except BlockingIOError:
                    data = b""
                except OSError:
                    # EIO: the last opener has gone and everything it sent has been read.
                    data, hung_up = b"", True
                if data:
                    self._received(data)
                    continue
            if hung_up:
                self._set_open(False)
                self._check_settings()
                self._check_stdin(dict(idle.poll(CLOSED_POLL_SECONDS * 1000)))
            else:
                self._set_open(True)
                self._check_settings()
        if self._controller.pending:
            self.emit({"event": "unfinished", "text": printable(self._controller.pending)})
        self.emit({"event": "stopped", "refused": self._controller.refused,
                   "answers_dropped": self._answers_dropped})

    def close(self):
        os.close(self.master)
        os.close(self._wake_read)
        os.close(self._wake_write)
        if self._log:
            self._log.close()


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Simulated GS-232 rotor controller on a pty: shows what arrives and how a "
                    "controller reads it.")
    parser.add_argument("--controller", choices=sorted(READERS), default="gs232",
                        help="how the controller reads a command (default gs232)")
    parser.add_argument("--reset-on-open", action="store_true",
                        help="act as a board that resets whenever its port is opened: bytes "
                             "lost while it boots, then W commands ignored for the guard time")
    parser.add_argument("--boot-ms", type=int, default=1000, metavar="MS",
                        help="with --reset-on-open: how long its bootloader takes every byte "
                             "(default 1000)")
    parser.add_argument("--guard-ms", type=int, default=5000, metavar="MS",
                        help="with --reset-on-open: how long after booting it ignores W "
                             "commands (default 5000)")
    parser.add_argument("--log", metavar="FILE",
                        help="also write every event to FILE as JSON lines")
    parser.add_argument("--quiet", action="store_true",
                        help="print only the first line (the pty path)")
    parser.add_argument("--stop-on-eof", action="store_true",
                        help="stop when standard input ends (so a test that dies takes it along)")
    args = parser.parse_args(argv)

    board = Board(args.boot_ms, args.guard_ms) if args.reset_on_open else None
    simulator = Simulator(args.log, args.quiet, args.stop_on_eof, args.controller, board)
    signal.signal(signal.SIGTERM, simulator.request_stop)
    signal.signal(signal.SIGINT, simulator.request_stop)
    # The pty's own hang-up as the simulator closes it.
    signal.signal(signal.SIGHUP, signal.SIG_IGN)
    print(f"pty {simulator.path}", flush=True)
    try:
        simulator.run()
    finally:
        simulator.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
