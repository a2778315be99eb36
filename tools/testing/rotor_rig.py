"""A Wine session whose serial port leads to the simulated rotor controller.

Usage:
    with RotorRig(prefix) as rig:
        code, out = rig.run(["station_or_probe.exe", ...])
        rig.line.wait_for(rig.line.commands)
        rig.new_line()          # a fresh controller with an empty log, same COM port
        rig.point_port_at(None) # no device behind the port at all (for the next open)
        rig.unplug()            # the controller and its pty gone, as an adapter pulled out
Ends everything it started and gives the COM port back the registry value it had.
"""

from wine_session import WineSession
from rotor_line import RotorLine


class RotorRig:
    def __init__(self, prefix, port=1, display=None, wine_fonts=True, managed_windows=False,
                 controller="gs232"):
        self.port = port
        self.controller = controller
        self.wine = WineSession(prefix, display, wine_fonts, managed_windows)
        self.line = None
        self._lines = []
        self._saved = None
        self._restore = False

    def __enter__(self):
        try:
            self.wine.__enter__()
            self._saved = self.wine.com_port(self.port)
            self._restore = True
            self.new_line()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def new_line(self, reset_on_open=None):
        """Replaces the controller with a fresh one and points the port at it; reset_on_open as
        RotorLine takes it."""
        self._stop_line()
        self.line = RotorLine(self.controller, reset_on_open).start()
        self._lines.append(self.line)
        self.wine.set_com_port(self.port, self.line.path)
        return self.line

    def unplug(self):
        """As an adapter pulled out: the controller and its pty go, and the port leads nowhere,
        so that a held port fails at its next write and no new open finds another pty that took
        the same number meanwhile. new_line() plugs a fresh one in. Returns the old line."""
        line = self.line
        line.kill()
        self.point_port_at(None)
        return line

    def point_port_at(self, unix_path):
        """Points the port somewhere else (None: nowhere); new_line() points it back."""
        self.wine.set_com_port(self.port, unix_path)

    def spawn(self, argv, name=None, wine_debug=None, env=None):
        return self.wine.spawn(argv, name, wine_debug, env)

    def run(self, argv, timeout=60):
        return self.wine.run(argv, timeout)

    def output(self, proc):
        return self.wine.output(proc)

    def windows_path(self, unix_path):
        return self.wine.windows_path(unix_path)

    def _stop_line(self):
        """Stops the current controller; returns its exit code (0 for a clean stop)."""
        line, self.line = self.line, None
        return line.stop() if line is not None else None

    def close(self):
        # Windows programs first, so none is left writing to a pty that is going away.
        self.wine.stop_programs()
        self._stop_line()
        try:
            if self._restore:
                self.wine.set_com_port(self.port, self._saved)
                self._restore = False
        finally:
            self.wine.close()
            for line in self._lines:
                line.remove_files()
            self._lines.clear()
