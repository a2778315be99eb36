"""A private Wine prefix with its own wineserver and display, for tests and the demo.

Usage:
    with WineSession(prefix) as wine:
        wine.set_com_port(1, "/dev/pts/7")
        proc = wine.spawn(["path/to/program.exe", "arg"])
        ...
Everything started through the session is ended when the block ends.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TOOLS = Path(__file__).resolve().parent.parent
# Debian's two Wine loaders. Its `wine` command takes the 32-bit one whenever wine32 is
# installed, and that one starts a 64-bit program in a process of its own (start.exe /exec):
# the PID we spawned would not be the program's, for /proc readings or for ending it. So each
# program goes straight to the loader of its own bitness.
WINE64 = Path("/usr/lib/wine/wine64")
WINE32 = Path("/usr/lib/wine/wine")


def exe_bits(program):
    """32 or 64 from a Windows program's PE header; None for a name that is no file (Wine's own
    programs, such as reg or taskkill)."""
    try:
        with open(program, "rb") as exe:
            head = exe.read(4096)
    except OSError:
        return None
    if head[:2] != b"MZ" or len(head) < 64:
        return None
    pe = int.from_bytes(head[60:64], "little")
    if head[pe:pe + 4] != b"PE\0\0":
        return None
    return {0x14C: 32, 0x8664: 64}.get(int.from_bytes(head[pe + 4:pe + 6], "little"))


def loader_for(program):
    """The loader that runs the program in the very process it starts. Wine's own programs run
    64-bit, as in a 64-bit prefix they would on Windows."""
    loader = WINE32 if exe_bits(program) == 32 else WINE64
    return str(loader) if loader.exists() else "wine"


class WineSession:
    def __init__(self, prefix, display=None, wine_fonts=True, managed_windows=False):
        self.prefix = Path(prefix).resolve()
        # On a screen without a window manager (ours), windows are left to Wine alone: it
        # draws their title bars, and no configure events from a manager that is not there
        # can undo a move or resize, nor hold a closing window for 2 s waiting for one.
        # A user's display with a manager keeps the manager in charge.
        self.managed_windows = managed_windows
        # Without them the prefix is as a user's may be: "MS Sans Serif" is not Wine's own face.
        self.wine_fonts = wine_fonts
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        if display:
            self.env["DISPLAY"] = display
        self._xvfb = None
        self._children = []
        self._logdir = Path(tempfile.mkdtemp(prefix="vorkel-wine-"))

    # -- lifetime -------------------------------------------------------------------------
    def __enter__(self):
        subprocess.run([str(TOOLS / "wine" / "ensure-prefix.sh"), str(self.prefix),
                        "with-wine-fonts" if self.wine_fonts else "without-wine-fonts"],
                       check=True, env=self.env)
        try:
            if not self.env.get("DISPLAY"):
                self._start_xvfb()
            self._start_persistent_server()
            self._set_window_management()
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

    def _set_window_management(self):
        key = r"HKCU\Software\Wine\X11 Driver"
        change = (["add", key, "/v", "Managed", "/d", "N", "/f"] if not self.managed_windows
                  else ["delete", key, "/v", "Managed", "/f"])
        subprocess.run([loader_for("reg"), "reg", *change], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def __exit__(self, *exc):
        self.close()

    def close(self):
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

    def run(self, argv, timeout=60):
        """Runs a Windows program to its end; returns (exit code, output text)."""
        proc = self.spawn(argv)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        return proc.returncode, self.output(proc)

    def stop_programs(self, timeout=5):
        """Ends every Windows program the session started; the session itself goes on."""
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

    # -- devices --------------------------------------------------------------------------
    def set_com_port(self, number, unix_path):
        """Points COMn at a Unix device (a pty), or at nothing when unix_path is None.

        Wine's mount manager rebuilds dosdevices/comN from the registry when the wineserver
        starts, so both the registry value and the link are set.
        """
        key = r"HKLM\Software\Wine\Ports"
        name = f"COM{number}"
        if unix_path is None:
            subprocess.run([loader_for("reg"), "reg", "delete", key, "/v", name, "/f"],
                           env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        else:
            subprocess.run([loader_for("reg"), "reg", "add", key, "/v", name, "/d", str(unix_path),
                            "/f"], env=self.env, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        link = self.prefix / "dosdevices" / f"com{number}"
        if link.is_symlink() or link.exists():
            link.unlink()
        if unix_path is not None:
            link.symlink_to(unix_path)

    def com_port(self, number):
        """The Unix device the registry gives for COMn, or None when it names none."""
        code, out = self.run(["reg", "query", r"HKLM\Software\Wine\Ports", "/v", f"COM{number}"])
        if code != 0:
            return None
        for line in out.splitlines():
            fields = line.split(None, 2)
            if len(fields) == 3 and fields[0].upper() == f"COM{number}" and fields[1] == "REG_SZ":
                return fields[2].strip()
        return None

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
