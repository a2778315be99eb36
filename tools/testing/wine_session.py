"""The one way into Wine for tests, tools and the demo: a private prefix with its own wineserver,
display and window probe. The loader of each program's bitness, the prefix, the virtual display,
registry values and the probe are found here and nowhere else.

Usage:
    with WineSession(build) as wine:
        proc = wine.spawn(["path/to/program.exe", "arg"])
        code, out = wine.probe("windows")
        ...
Everything started through the session is ended when the block ends.
"""

import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

TOOLS = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(TOOLS / "release"))
from pe_file import PeError, PeFile  # noqa: E402

# Debian's two Wine loaders. Its `wine` command takes the 32-bit one whenever wine32 is
# installed, and that one starts a 64-bit program in a process of its own (start.exe /exec):
# the PID we spawned would not be the program's, for /proc readings or for ending it. So each
# program goes straight to the loader of its own bitness.
WINE64 = Path("/usr/lib/wine/wine64")
WINE32 = Path("/usr/lib/wine/wine")
# The probe's line that ends each answer: "\x1e CODE".
END_OF_ANSWER = "\x1e "
PROBE_TIMEOUT = 60


def exe_bits(program):
    """32 or 64 from a Windows program's PE header; None for a name that is no file (Wine's own
    programs, such as reg) or no Windows program."""
    try:
        return PeFile.read(program).bits
    except (OSError, PeError, ValueError, IndexError):
        return None


def loader_for(program):
    """The loader that runs the program in the very process it starts. Wine's own programs run
    64-bit, as in a 64-bit prefix they would on Windows."""
    loader = WINE32 if exe_bits(program) == 32 else WINE64
    return str(loader) if loader.exists() else "wine"


class WineSession:
    """build: the Windows build tree whose programs the session runs; its window probe serves
    the session. Its prefix: the one given, else the build tree's own (build/wineprefix, or
    build/wineprefix-without-fonts), or, where VORKEL_TEST_PREFIX names one (a test's own under
    CTest, so that tests run side by side), a copy of that made in a moment. display: an X
    display to use (the demo's, on the user's screen); by default the session has a virtual
    screen of its own."""

    def __init__(self, build=None, prefix=None, display=None, wine_fonts=True,
                 managed_windows=False, master=None):
        self.build = Path(build).resolve() if build else None
        fonts = "" if wine_fonts else "-without-fonts"
        self.master = master
        if prefix is None:
            prefix = self.build / f"wineprefix{fonts}"
            if os.environ.get("VORKEL_TEST_PREFIX"):
                self.master, prefix = prefix, os.environ["VORKEL_TEST_PREFIX"] + fonts
        self.prefix = Path(prefix).resolve()
        # On a screen without a window manager (ours), windows are left to Wine alone: it
        # draws their title bars, and no configure events from a manager that is not there
        # can undo a move or resize, nor hold a closing window for 2 s waiting for one.
        # A user's display with a manager keeps the manager in charge.
        self.managed_windows = managed_windows
        # Without them the prefix is as a user's may be: "MS Sans Serif" is not Wine's own face.
        self.wine_fonts = wine_fonts
        self.env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        self.env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        if display:
            self.env["DISPLAY"] = display
        self._xvfb = None
        self._children = []
        self._probe = None
        self._answers = None
        self._logdir = Path(tempfile.mkdtemp(prefix="vorkel-wine-"))

    # -- lifetime -------------------------------------------------------------------------
    def __enter__(self):
        subprocess.run([str(TOOLS / "wine" / "ensure-prefix.sh"), str(self.prefix),
                        "with-wine-fonts" if self.wine_fonts else "without-wine-fonts",
                        *([str(self.master)] if self.master else [])],
                       check=True, env=self.env)
        try:
            if not self.env.get("DISPLAY"):
                self._start_xvfb()
            self._start_persistent_server()
            if self.build is not None:
                # Read by Wine as each program starts: set before the first one.
                key = r"HKCU\Software\Wine\X11 Driver"
                if self.managed_windows:
                    self.set_registry(key, "Managed", None)
                else:
                    self.set_registry(key, "Managed", "N")
        except BaseException:
            self.close()  # no Xvfb left behind
            raise
        return self

    def _start_persistent_server(self):
        # A persistent wineserver: the registry and device links we set stay in force.
        for _ in range(3):
            if subprocess.run(["wineserver", "-p"], env=self.env).returncode == 0:
                return
            # A server of a program run just before lingers a few seconds after it and refuses
            # a second one: let it end. One still held after that belongs to a program left
            # running in this prefix; tests share the prefix one after another (CTest's lock
            # `wine`), so it is ended.
            try:
                subprocess.run(["wineserver", "-w"], env=self.env, timeout=20)
            except subprocess.TimeoutExpired:
                print(f"wine_session: ending programs left running in {self.prefix}",
                      file=sys.stderr)
                subprocess.run(["wineserver", "-k"], env=self.env)
                subprocess.run(["wineserver", "-w"], env=self.env)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self._probe is not None:
            self._probe.kill()
            self._probe.wait()
            self._probe.stdin.close()
            self._probe.stdout.close()
            self._probe = None
        for proc in self._children:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self._children.clear()
        subprocess.run(["wineserver", "-k"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self._xvfb is not None:
            self._xvfb.kill()
            self._xvfb.wait()
            self._xvfb = None
        shutil.rmtree(self._logdir, ignore_errors=True)

    def _start_xvfb(self):
        read_fd, write_fd = os.pipe()
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], pass_fds=(write_fd,),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    # -- programs -------------------------------------------------------------------------
    def exe(self, name, build=None):
        """A Windows program of the build tree (or of another one)."""
        build = Path(build) if build else self.build
        for folder in ("ui", "tools/win", "tests/instruments", "tests/rotor_port",
                       "tests/tracking_link", "tests/about_box"):
            candidate = build / folder / f"{name}.exe"
            if candidate.exists():
                return candidate
        raise FileNotFoundError(f"{name}.exe in {build}")

    def spawn(self, argv, name=None, wine_debug=None, env=None):
        """Starts a Windows program; its output goes to a file (see output()). wine_debug
        replaces WINEDEBUG for it, e.g. "warn+seh" for its OutputDebugString lines; env adds
        variables for it alone."""
        name = name or Path(argv[0]).stem
        log = open(self._logdir / f"{name}-{len(self._children)}.log", "wb")
        loader = loader_for(argv[0])
        # What the program starts in turn finds the other bitness's loader beside this one.
        env = dict(self.env, WINELOADER=loader, **(env or {}))
        if wine_debug:
            env["WINEDEBUG"] = wine_debug
        proc = subprocess.Popen([loader, *map(str, argv)], env=env, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT)
        proc.log_path = log.name
        log.close()
        self._children.append(proc)
        return proc

    def program_pid(self, proc):
        """The Linux PID of the program proc was started for: proc's own, as each program goes
        to the loader of its bitness; else (a loader that handed it on to a process of its own)
        the newest process of this prefix running it. None when it runs nowhere."""
        name = Path(proc.args[1]).name[:15]  # /proc's comm keeps 15 characters

        def comm(pid):
            try:
                return Path(f"/proc/{pid}/comm").read_text().strip()
            except OSError:
                return None

        if comm(proc.pid) == name:
            return proc.pid
        wanted = f"WINEPREFIX={self.prefix}".encode()
        found = []
        for entry in Path("/proc").iterdir():
            if entry.name.isdigit() and comm(entry.name) == name:
                try:
                    if wanted in (entry / "environ").read_bytes().split(b"\0"):
                        started = int((entry / "stat").read_text().rsplit(")", 1)[1].split()[19])
                        found.append((started, int(entry.name)))
                except (OSError, ValueError, IndexError):
                    continue
        return max(found)[1] if found else None

    def run(self, argv, timeout=60, env=None):
        """Runs a Windows program to its end; returns (exit code, output text)."""
        proc = self.spawn(argv, env=env)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        return proc.returncode, self.output(proc)

    def stop_programs(self, timeout=5):
        """Ends every Windows program the session started but its probe; the session goes on."""
        for proc in self._children:
            self.stop(proc, timeout)

    @staticmethod
    def output(proc):
        return Path(proc.log_path).read_text(errors="replace").replace("\r", "")

    def stop(self, proc, timeout=5):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    # -- the probe ------------------------------------------------------------------------
    def probe(self, *args, timeout=PROBE_TIMEOUT):
        """One question to the session's window probe (tools/win/window_probe.cpp), which runs
        for the whole session: (exit code, output text) as one run of it would give them."""
        if self._probe is None or self._probe.poll() is not None:
            self._start_probe()
        line = "\t".join(map(str, args)) + "\n"
        self._probe.stdin.write(line.encode("utf-8"))
        self._probe.stdin.flush()
        out = []
        deadline = time.monotonic() + timeout
        while True:
            try:
                text = self._answers.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                self._probe.kill()  # a probe that hangs is of no use for the next question
                raise RuntimeError(f"the window probe did not answer {args!r} within {timeout} s")
            if text is None:
                raise RuntimeError(f"the window probe ended while answering {args!r}:\n" +
                                   "".join(out))
            if text.startswith(END_OF_ANSWER):
                return int(text[len(END_OF_ANSWER):]), "".join(out)
            out.append(text)

    def instruments_env(self):
        """What a window probe needs to ask the station's instruments (tests/instruments)."""
        instruments = self.build / "tests" / "instruments" / "station_instruments.dll"
        return {"VORKEL_INSTRUMENTS": self.windows_path(instruments)} if instruments.exists() \
            else {}

    def _start_probe(self):
        env = dict(self.env, WINELOADER=loader_for(self.exe("window_probe")),
                   **self.instruments_env())
        # Its answers are read line by line, never to the end: Wine hands the probe's output on
        # to the helpers it starts, which may keep it open after the probe has gone.
        self._probe = subprocess.Popen(
            [loader_for(self.exe("window_probe")), str(self.exe("window_probe")), "serve"],
            env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        answers = queue.Queue()

        def read(stream):
            for raw in iter(stream.readline, b""):
                answers.put(raw.decode("utf-8", "replace").replace("\r", ""))
            answers.put(None)

        threading.Thread(target=read, args=(self._probe.stdout,), daemon=True).start()
        self._answers = answers

    # -- the registry and the devices -----------------------------------------------------
    def set_registry(self, key, name, value):
        """Sets a value of the prefix's registry: a DWORD for an int, a text for a str; None
        deletes it."""
        if value is None:
            args = ("reg", "delete", key, name)
        elif isinstance(value, int):
            args = ("reg", "add", key, name, "dword", value)
        else:
            args = ("reg", "add", key, name, "text", value)
        code, out = self.probe(*args)
        if code != 0:
            raise RuntimeError(f"could not set {key}\\{name}: {out}")

    def set_com_port(self, number, unix_path):
        """Points COMn at a Unix device (a pty), or at nothing when unix_path is None.

        Wine's mount manager rebuilds dosdevices/comN from the registry when the wineserver
        starts, so both the registry value and the link are set.
        """
        self.set_registry(r"HKLM\Software\Wine\Ports", f"COM{number}",
                          None if unix_path is None else str(unix_path))
        link = self.prefix / "dosdevices" / f"com{number}"
        if link.is_symlink() or link.exists():
            link.unlink()
        if unix_path is not None:
            link.symlink_to(unix_path)

    @staticmethod
    def windows_path(unix_path):
        """The path under which a Windows program of the session sees a Unix file."""
        return "Z:" + str(Path(unix_path).resolve()).replace("/", "\\")


def wait_until(predicate, timeout=10.0, interval=0.05):
    """Polls predicate until it returns something true; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)
