"""What a station PC gets, read from the exe file alone: it runs on the Windows it promises
(machine, PE floor, every imported function known and no newer than that floor, no DLL but
Windows' own) and carries its version and icons. Usable on any build of vorkelDDE.exe, and
by the release test on the exes inside the zips."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "release"))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "testing"))
from driver_args import tool_arguments  # noqa: E402
from pe_file import MACHINES, RT_MANIFEST, PeFile, icon_images, version_strings

# Windows' own DLLs that the exe may use; anything else would have to travel with it.
WINDOWS_OWN = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
# Oldest Windows per bitness, as (major, minor): the floor the exe promises.
FLOORS = {32: (5, 1), 64: (6, 0)}
RELEASES = {"2000": (5, 0), "XP": (5, 1), "Vista": (6, 0), "7": (6, 1), "8": (6, 2),
            "8.1": (6, 3), "10": (10, 0)}
ICONS = [(16, 16, 4), (32, 32, 1), (32, 32, 4)]
# What only the tests' instruments need: counting the heaps' blocks and the process's GUI objects,
# and messages registered for questions from another program.
TEST_ONLY = {"HeapWalk", "GetProcessHeaps", "GetGuiResources", "RegisterWindowMessageW"}
# Calls that no time-out bounds: a driver may hold them for as long as its device does not
# answer, and every tick and Stop of the station must end within its own time limits.
UNBOUNDED = {"FlushFileBuffers": "heeds no write time-out",
             "WaitCommEvent": "waits for a line event that may never come",
             "TransmitCommChar": "heeds no write time-out"}


def read_allow_list(path):
    """{(dll in lower case, function): (major, minor)} from the committed list."""
    entries = {}
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        dll, function, oldest = line.split()
        if oldest not in RELEASES:
            raise ValueError(f"{path}:{number}: unknown Windows release {oldest!r}")
        entries[(dll.lower(), function)] = RELEASES[oldest]
    return entries


def import_faults(imports, allowed, floor):
    """Every import the list does not allow on this floor, as readable lines."""
    faults = []
    for dll, functions in imports.items():
        if dll.lower() not in WINDOWS_OWN:
            faults.append(f"{dll}: not one of Windows' own DLLs")
            continue
        for function in functions:
            oldest = allowed.get((dll.lower(), function))
            if oldest is None:
                faults.append(f"{dll}!{function}: not in the list")
            elif oldest > floor:
                faults.append(f"{dll}!{function}: needs Windows {oldest}, floor is {floor}")
    return faults


class ExeAudit(unittest.TestCase):
    exe = None
    allow_list = None

    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile.read(cls.exe)
        cls.floor = FLOORS[cls.pe.bits]

    def test_machine_subsystem_and_floor(self):
        self.assertEqual(MACHINES.get(self.pe.machine), {32: "x86", 64: "x64"}[self.pe.bits])
        self.assertEqual(self.pe.subsystem, 2)  # Windows GUI
        self.assertEqual(self.pe.subsystem_version, self.floor)
        self.assertEqual(self.pe.os_version, self.floor)

    def test_imports_are_windows_own_and_within_the_floor(self):
        imports = self.pe.imports()
        self.assertTrue(imports)
        self.assertEqual(import_faults(imports, read_allow_list(self.allow_list), self.floor), [])

    def test_no_test_machinery(self):
        # The tests' instruments (tests/instruments) run in a DLL of their own: the exe answers
        # no registered test message and walks no heap, process block or GDI table.
        imported = {f for functions in self.pe.imports().values() for f in functions}
        self.assertEqual(sorted(TEST_ONLY & imported), [])
        data = Path(self.exe).read_bytes().lower()
        for text in ("test query", "instruments", "gdisharedhandletable"):
            self.assertNotIn(text.encode("ascii"), data)
            self.assertNotIn(text.encode("utf-16-le"), data)

    def test_no_call_that_no_time_out_bounds(self):
        imported = {f for functions in self.pe.imports().values() for f in functions}
        self.assertEqual({f: why for f, why in UNBOUNDED.items() if f in imported}, {})

    def test_audit_catches_an_unlisted_or_newer_function(self):
        # The same check with the list changed: one function missing, one made too new.
        imports = self.pe.imports()
        allowed = read_allow_list(self.allow_list)
        dll, functions = next(iter(imports.items()))
        missing, newer = (dll.lower(), functions[0]), (dll.lower(), functions[-1])
        del allowed[missing]
        allowed[newer] = (10, 0)
        faults = import_faults(imports, allowed, self.floor)
        self.assertIn(f"{dll}!{missing[1]}: not in the list", faults)
        self.assertTrue(any(f.startswith(f"{dll}!{newer[1]}: needs Windows") for f in faults))
        self.assertIn("zlib1.dll: not one of Windows' own DLLs",
                      import_faults({"zlib1.dll": ["inflate"]}, allowed, self.floor))

    def test_no_time_stamps(self):
        # The same sources give the same bytes: no link or resource time in the file.
        self.assertEqual(self.pe.timestamp, 0)
        self.assertEqual(set(self.pe.resources()[1]), {0})

    def test_version_resource(self):
        strings, fixed = version_strings(self.pe.resource(16))
        self.assertEqual(fixed, (1, 0, 0, 0))
        self.assertEqual(strings["FileVersion"], "1.00")
        self.assertEqual(strings["ProductVersion"], "1.00")
        self.assertEqual(strings["ProductName"], "vorkelDDE")
        self.assertEqual(strings["InternalName"], "vorkelDDE")
        self.assertEqual(strings["OriginalFilename"], "vorkelDDE.exe")

    def test_three_icon_images(self):
        # 32x32 in 2 and in 16 colours, 16x16 in 16 colours: as listed and as drawn.
        stated, actual = icon_images(self.pe)
        self.assertEqual(stated, ICONS)
        self.assertEqual(actual, ICONS)

    def test_manifest_names_this_architecture(self):
        manifest = self.pe.resource(RT_MANIFEST, 1).decode("utf-8")
        architecture = {32: "x86", 64: "amd64"}[self.pe.bits]
        self.assertIn(f'processorArchitecture="{architecture}"', manifest)
        self.assertIn("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", manifest)  # Windows 10 and 11


def audit(exe, allow_list, verbosity=2):
    """Runs the audit on one exe; True when it passed."""
    ExeAudit.exe, ExeAudit.allow_list = str(exe), str(allow_list)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ExeAudit)
    return unittest.TextTestRunner(verbosity=verbosity).run(suite).wasSuccessful()


if __name__ == "__main__":
    def add(parser):
        parser.add_argument("--exe", required=True)
        parser.add_argument("--allow-list",
                            default=Path(__file__).with_name("windows_imports.txt"))

    args = tool_arguments(__doc__, add, build=None)
    sys.exit(0 if audit(args.exe, args.allow_list) else 1)
