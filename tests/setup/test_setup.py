"""The set-up scripts against a package mirror's bad moments, with apt-get, dpkg, dpkg-query,
sudo and sleep replaced by stand-ins on PATH and the 32-bit probe by one beside the copied
scripts: nothing on the machine is installed, removed or even asked about."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]

STANDINS = {
    "apt-get": r"""
echo "apt-get $*" >>"$STANDIN/log"
echo "Reading package lists..."
case " $* " in
*" update "*)
    [ -z "${FAIL_UPDATE:-}" ] && exit 0
    echo "Err:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100 ;;
esac
for p; do
    for u in ${UNINSTALLABLE:-}; do
        [ "$p" = "$u" ] && { echo "E: Unable to locate package $p" >&2; exit 100; }
    done
done
for p; do
    case $p in -*|install) ;; *) echo "$p" >>"$STANDIN/installed" ;; esac
done
""",
    "dpkg-query": r"""
package=""
for a; do case $a in -*) ;; *) package=$a ;; esac; done
if [ -z "$package" ]; then
    sed 's/^[^:]*$/amd64/; s/^.*://' "$STANDIN/installed"
elif grep -qx "$package" "$STANDIN/installed"; then
    printf 'install ok installed'
else
    echo "dpkg-query: no packages found matching $package" >&2
    exit 1
fi
""",
    "dpkg": r"""
echo "dpkg $*" >>"$STANDIN/log"
case $1 in
--print-foreign-architectures) cat "$STANDIN/architectures" ;;
--add-architecture) echo "$2" >>"$STANDIN/architectures" ;;
--remove-architecture) sed -i "/^$2\$/d" "$STANDIN/architectures" ;;
*) exit 2 ;;
esac
""",
    "sudo": 'exec "$@"',
    "sleep": 'echo "sleep $*" >>"$STANDIN/log"',
    # The demo's build and run, after its install step.
    "cmake": "exit 0",
    "python3": "exit 0",
}

# The 32-bit probe: yes, or no with its reason.
PROBE = r"""
[ -n "${KERNEL_RUNS_32_BIT:-}" ] && exit 0
[ "${1:-}" = --why ] && echo "this machine's kernel runs no 32-bit code"
exit 1
"""

UPDATE_FAILURE = "bookworm-security/main i386 Packages"


def write_script(path, body):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("#!/bin/sh\n" + body)
    path.chmod(0o755)


class Machine:
    """A copy of the set-up scripts beside stand-ins, and what they did."""

    def __init__(self, root, installed=(), architectures=()):
        self.root = root
        for script in ("install-deps.sh", "demo.sh", "wine/if-32-bit-runs.sh"):
            (root / "tools" / script).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(ROOT / "tools" / script, root / "tools" / script)
        write_script(root / "tools" / "runs-32-bit-code.sh", PROBE)
        self.standin = root / "standin"
        for name, body in STANDINS.items():
            write_script(self.standin / "bin" / name, body)
        (self.standin / "installed").write_text("".join(f"{p}\n" for p in installed))
        (self.standin / "architectures").write_text("".join(f"{a}\n" for a in architectures))
        (self.standin / "log").write_text("")

    def run(self, command, **env):
        path = f"{self.standin / 'bin'}{os.pathsep}{os.environ['PATH']}"
        for tool in ("apt-get", "dpkg", "dpkg-query", "sudo"):
            # Never the machine's own: a test must not change what is installed.
            if shutil.which(tool, path=path) != str(self.standin / "bin" / tool):
                raise RuntimeError(f"{tool} is not the stand-in; nothing was run")
        env = {**os.environ, "PATH": path, "STANDIN": str(self.standin), **env}
        env.pop("DISPLAY", None)
        env.pop("VORKEL_DEPS_INSTALLED", None)  # the test run's own install is done; these are not
        result = subprocess.run([str(self.root / command)], env=env, capture_output=True,
                                text=True, timeout=60)
        return result.returncode, result.stdout + result.stderr

    def calls(self, program):
        return [line for line in (self.standin / "log").read_text().splitlines()
                if line.startswith(program + " ")]

    def architectures(self):
        return (self.standin / "architectures").read_text().split()

    def installed(self):
        return (self.standin / "installed").read_text().split()

    def wine32_reason(self):
        path = self.root / "build" / "wine32-not-installed.txt"
        return path.read_text().strip() if path.exists() else None


def our_lines(output):
    return [line for line in output.splitlines() if line.startswith("install-deps:")]


class InstallDeps(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="vorkel-setup-"))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)

    def machine(self, **kwargs):
        return Machine(self.work / str(len(list(self.work.iterdir()))), **kwargs)

    def test_an_index_that_keeps_failing_ends_nothing_while_packages_install(self):
        for kernel in ("", "yes"):
            with self.subTest(kernel_runs_32_bit=bool(kernel)):
                m = self.machine()
                code, out = m.run("tools/install-deps.sh", FAIL_UPDATE="1",
                                  KERNEL_RUNS_32_BIT=kernel)
                self.assertEqual(code, 0, out)
                self.assertIn("wine64", m.installed())
                self.assertGreaterEqual(len(m.calls("sleep")), 2, "retried after a pause")
                said = [line for line in our_lines(out) if UPDATE_FAILURE in line]
                self.assertEqual(len(said), 1 if not kernel else 2, out)
                if kernel:
                    self.assertIn("wine32:i386", m.installed())
                    self.assertIsNone(m.wine32_reason())

    def test_wine32_that_cannot_be_installed_is_one_line_and_leaves_no_i386_behind(self):
        cases = [  # what is i386 already, whether the architecture stays
            ((), False),
            (("libc6:i386",), True),
        ]
        for i386, stays in cases:
            with self.subTest(i386=i386):
                m = self.machine(installed=("wine64",) + i386,
                                 architectures=("i386",) if i386 else ())
                code, out = m.run("tools/install-deps.sh", KERNEL_RUNS_32_BIT="yes",
                                  UNINSTALLABLE="wine32:i386")
                self.assertEqual(code, 0, out)
                said = [line for line in our_lines(out) if "32-bit Wine could not" in line]
                self.assertEqual(len(said), 1, out)
                self.assertIn("E: Unable to locate package wine32:i386", said[0])
                self.assertEqual("i386" in m.architectures(), stays)
                self.assertEqual(m.wine32_reason(), "E: Unable to locate package wine32:i386")

    def test_a_needed_package_that_cannot_be_installed_stops_with_one_clear_line(self):
        for update in ("", "1"):
            with self.subTest(update_fails=bool(update)):
                m = self.machine()
                code, out = m.run("tools/install-deps.sh", FAIL_UPDATE=update,
                                  UNINSTALLABLE="wine64")
                self.assertNotEqual(code, 0)
                last = out.strip().splitlines()[-1]
                self.assertTrue(last.startswith("install-deps: cannot install wine64:"), last)
                self.assertIn("E: Unable to locate package wine64", last)
                self.assertEqual(UPDATE_FAILURE in last, bool(update), last)
                self.assertEqual(m.calls("dpkg --add"), [])

    def test_the_demo_asks_for_nothing_32_bit_even_where_the_kernel_runs_it(self):
        m = self.machine()
        code, out = m.run("tools/demo.sh", KERNEL_RUNS_32_BIT="yes")
        self.assertEqual(code, 0, out)
        asked = [p for call in m.calls("apt-get") for p in call.split()[1:]]
        self.assertIn("wine64", asked)
        self.assertIn("fonts-wine", asked)
        self.assertEqual([p for p in asked if "i386" in p or "i686" in p or "wine32" in p], [])
        self.assertEqual(m.calls("dpkg"), [])
        self.assertEqual(m.architectures(), [])


class ThirtyTwoBitSkips(unittest.TestCase):
    def test_the_reason_wine32_could_not_be_installed_reaches_each_skip(self):
        if Path("/usr/lib/wine/wine").exists():
            self.skipTest("wine32 is installed on this machine")
        work = Path(tempfile.mkdtemp(prefix="vorkel-setup-"))
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        m = Machine(work)
        for reason, expected in [
                (None, "skipped: Wine's 32-bit half (wine32:i386) is not installed"),
                ("E: Unable to locate package wine32:i386",
                 "skipped: 32-bit Wine could not be installed: "
                 "E: Unable to locate package wine32:i386")]:
            with self.subTest(reason=reason):
                if reason:
                    (work / "build").mkdir(exist_ok=True)
                    (work / "build" / "wine32-not-installed.txt").write_text(reason + "\n")
                code, out = m.run("tools/wine/if-32-bit-runs.sh", KERNEL_RUNS_32_BIT="yes")
                self.assertEqual(code, 77)
                self.assertTrue(out.startswith(expected), out)

    def test_an_i386_emulator_registered_with_binfmt_misc_is_no(self):
        i386 = ("magic 7f454c4601010100000000000000000002000300\n"
                "mask fffffffffffefcfffffffffffffffffffeffffff\n")
        arm = ("magic 7f454c4601010100000000000000000002002800\n"
               "mask ffffffffffffff00fffffffffffffffffeffffff\n")
        cases = [  # binfmt_misc's entries, whether the emulator is the answer
            ({"qemu-i386": "enabled\ninterpreter /usr/bin/qemu-i386-static\nflags: F\n"
                           "offset 0\n" + i386}, True),
            ({"qemu-i386": "disabled\ninterpreter /usr/bin/qemu-i386-static\noffset 0\n" + i386},
             False),
            ({"qemu-arm": "enabled\ninterpreter /usr/bin/qemu-arm-static\noffset 0\n" + arm},
             False),
        ]
        for entries, emulated in cases:
            with self.subTest(entries=list(entries)), tempfile.TemporaryDirectory() as binfmt:
                Path(binfmt, "status").write_text("enabled\n")
                Path(binfmt, "register").write_text("")
                for name, text in entries.items():
                    Path(binfmt, name).write_text(text)
                run = subprocess.run([str(ROOT / "tools" / "runs-32-bit-code.sh"), "--why"],
                                     env={**os.environ, "VORKEL_BINFMT_MISC": binfmt},
                                     capture_output=True, text=True, timeout=30)
                if emulated:
                    self.assertEqual(run.returncode, 1)
                    self.assertIn("only through an emulator", run.stdout)
                    self.assertIn("/usr/bin/qemu-i386-static", run.stdout)
                else:
                    self.assertNotIn("emulator", run.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
