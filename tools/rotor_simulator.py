#!/usr/bin/env python3
"""A simulated GS-232-style rotor controller on a pseudo-terminal.

Point a serial port at the pty it prints and it shows what arrives: every byte with its time,
the commands decoded from them (W azimuth elevation, S), the line settings the other end put
on the line, and when the other end opened and closed it.

    $ tools/rotor_simulator.py
    pty /dev/pts/5
    12:00:01.234  opened
    12:00:01.235  settings  9600 baud, 8 data bits, no parity, 1 stop bit, no flow control
    12:00:01.236  bytes     57 20 31 32 33 20 20 34 35 0D  "W 123  45\\r"
    12:00:01.236  point     azimuth 123  elevation 45
    12:00:01.237  closed

The first line of output is always "pty PATH", also with --quiet. With --log FILE every event
is also written to FILE as one JSON object a line, flushed at once, for programs to follow.
SIGTERM or SIGINT ends it cleanly with a last "stopped" event; so does the end of standard
input with --stop-on-eof.

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

CR = 0x0D

# While nobody has the pty open its master reports a hang-up at once, every time it is asked;
# it is asked again after this long, which is also the shortest open that is sure to be seen.
CLOSED_POLL_SECONDS = 0.005

# Linux's flag for mark and space parity; Python's termios does not name it.
CMSPAR = 0o10000000000

BAUD_RATES = {getattr(termios, name): int(name[1:])
              for name in dir(termios) if name[:1] == "B" and name[1:].isdigit()}

# Blanks are tolerated around numbers and signs; any other character, a line feed or a tab
# too, makes the line unknown, as it would confuse a real controller.
NUMBER = r"-? *\d+(?:\.\d*)?"
POINT = re.compile(rf"W *(?P<azimuth>{NUMBER}) +(?P<elevation>{NUMBER}) *", re.ASCII)
STOP = re.compile(r"S *", re.ASCII)


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


def decode_command(line):
    """One line without its CR, as an event: point, stop or unknown; None for an empty line."""
    text = line.decode("ascii", errors="replace")
    if not line.strip(b" "):
        return None
    match = POINT.fullmatch(text)
    if match and line.isascii():
        return {"event": "point",
                "azimuth": float(match["azimuth"].replace(" ", "")),
                "elevation": float(match["elevation"].replace(" ", "")),
                "text": printable(line + b"\r")}
    if STOP.fullmatch(text) and line.isascii():
        return {"event": "stop", "text": printable(line + b"\r")}
    return {"event": "unknown", "text": printable(line + b"\r")}


class CommandDecoder:
    """Splits the byte stream at CR, as the controller does, whatever the read sizes."""

    def __init__(self):
        self._pending = bytearray()

    def feed(self, data):
        events = []
        for byte in data:
            if byte == CR:
                event = decode_command(bytes(self._pending))
                self._pending.clear()
                if event is not None:
                    events.append(event)
            else:
                self._pending.append(byte)
        return events

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
    if kind == "point":
        return f"point     azimuth {event['azimuth']:g}  elevation {event['elevation']:g}"
    if kind == "stop":
        return "stop"
    if kind in ("unknown", "unfinished"):
        return f"{kind:<9} \"{event['text']}\""
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


class Simulator:
    def __init__(self, log_path=None, quiet=False, stop_on_eof=False):
        self._quiet = quiet
        self._stop_on_eof = stop_on_eof
        self._log = open(log_path, "a", encoding="utf-8") if log_path else None
        self._decoder = CommandDecoder()
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

    def _received(self, data):
        # Bytes prove an opener even when its whole open was shorter than a poll.
        self._set_open(True)
        self._check_settings()
        self.emit({"event": "bytes", "hex": data.hex(" "), "text": printable(data)})
        for command in self._decoder.feed(data):
            self.emit(command)

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
        if self._decoder.pending:
            self.emit({"event": "unfinished", "text": printable(self._decoder.pending)})
        self.emit({"event": "stopped"})

    def close(self):
        os.close(self.master)
        os.close(self._wake_read)
        os.close(self._wake_write)
        if self._log:
            self._log.close()


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Simulated GS-232-style rotor controller on a pty: shows what arrives.")
    parser.add_argument("--log", metavar="FILE",
                        help="also write every event to FILE as JSON lines")
    parser.add_argument("--quiet", action="store_true",
                        help="print only the first line (the pty path)")
    parser.add_argument("--stop-on-eof", action="store_true",
                        help="stop when standard input ends (so a test that dies takes it along)")
    args = parser.parse_args(argv)

    simulator = Simulator(args.log, args.quiet, args.stop_on_eof)
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
