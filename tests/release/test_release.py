"""The release command: both zips hold what an operator needs, the exes in them are the ones
the tests ran (and pass the audit), and a second run in another folder gives the same bytes."""

import hashlib
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "release"))
sys.path.insert(0, str(ROOT / "tools" / "testing"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
from driver_args import run_tests, test_arguments
from pe_file import PeFile
from station_rig import FAILURE_TITLE
from test_exe_audit import audit

BUILD = None
FILES = ["vorkelDDE-1.00-win32.zip", "vorkelDDE-1.00-win64.zip", "SHA256SUMS"]
ENTRIES = ["vorkelDDE.exe", "LEEME.txt", "README.txt", "LICENSE.txt"]


def release(out):
    # Installing is the test command's, before any test.
    subprocess.run([str(ROOT / "tools" / "release.sh"), "--out", str(out), "--no-install"],
                   check=True, stdout=subprocess.DEVNULL)
    return {name: (out / name).read_bytes() for name in FILES}


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="release-", dir=BUILD))
        cls.first = release(cls.work / "first")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def zip(self, name):
        return zipfile.ZipFile(self.work / "first" / name)

    def test_checksums_name_both_zips(self):
        lines = self.first["SHA256SUMS"].decode().splitlines()
        expected = [f"{hashlib.sha256(self.first[n]).hexdigest()}  {n}" for n in FILES[:2]]
        self.assertEqual(lines, expected)

    def test_each_zip_holds_exe_guides_and_licence_in_fixed_form(self):
        for name, bits in ((FILES[0], 32), (FILES[1], 64)):
            with self.subTest(name), self.zip(name) as z:
                stem = name[:-len(".zip")]
                self.assertEqual(z.namelist(), [f"{stem}/{e}" for e in ENTRIES])
                self.assertEqual({i.date_time for i in z.infolist()},
                                 {z.infolist()[0].date_time})
                self.assertEqual({i.external_attr for i in z.infolist()}, {0o100644 << 16})
                self.assertEqual(PeFile(z.read(f"{stem}/vorkelDDE.exe")).bits, bits)
                for text in ENTRIES[1:]:
                    data = z.read(f"{stem}/{text}")
                    self.assertTrue(data.startswith(b"\xef\xbb\xbf"), text)
                    self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), text)
                licence = z.read(f"{stem}/LICENSE.txt").decode("utf-8-sig")
                self.assertIn("MIT License", licence)
                self.assertIn("the vorkelDDE authors", licence)

    def test_guides_say_what_the_operator_needs(self):
        # What Windows itself needs, in the words of the Windows of each guide's language: the
        # adapter given COM1, both programs at one privilege level, and a silent line.
        windows = {"LEEME.txt": ["Número de puerto COM", "(en uso)", "como administrador",
                                 "nunca lee del controlador"],
                   "README.txt": ["COM Port Number", "(in use)", "as administrator",
                                  "never reads from the controller"]}
        with self.zip(FILES[0]) as z:
            for guide, own in windows.items():
                text = z.read(f"vorkelDDE-1.00-win32/{guide}").decode("utf-8-sig")
                text = " ".join(text.split())  # a phrase may break across lines
                for needed in [FAILURE_TITLE, "COM1", "9600", "8N1", "< < < Stop > > >",
                               "Orbitron", "Wine", "XP SP3", "Vista", *FILES[:2], *own]:
                    self.assertIn(needed, text, guide)

    def test_shipped_exes_pass_the_audit_and_the_64_bit_one_is_the_tested_one(self):
        for name in FILES[:2]:
            with self.subTest(name), self.zip(name) as z:
                exe = self.work / name.replace(".zip", ".exe")
                exe.write_bytes(z.read(f"{name[:-4]}/vorkelDDE.exe"))
                self.assertTrue(audit(exe, ROOT / "tests" / "release" / "windows_imports.txt",
                                      verbosity=0))
        # Byte for byte the exe this build's tests ran under Wine.
        shipped = self.work / FILES[1].replace(".zip", ".exe")
        self.assertEqual(shipped.read_bytes(), (BUILD / "ui" / "vorkelDDE.exe").read_bytes())

    def test_second_run_elsewhere_gives_the_same_bytes(self):
        second = release(self.work / "second" / "elsewhere")
        for name in FILES:
            self.assertEqual(second[name], self.first[name], name)


if __name__ == "__main__":
    args, rest = test_arguments()
    BUILD = Path(args.build).resolve()
    run_tests(rest)
