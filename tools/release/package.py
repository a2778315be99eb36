#!/usr/bin/env python3
"""Packs built vorkelDDE.exe files into the release zips and writes SHA256SUMS.

The same exes and texts always give the same bytes: fixed entry order, dates and
permissions, the texts with Windows line ends (Notepad on XP shows nothing else)."""

import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(HERE))
from pe_file import PeFile, version_strings

# Beside the exe, in this order: the guide in Spanish, in English, and the licence.
TEXTS = [("LEEME.txt", HERE / "LEEME.txt"), ("README.txt", HERE / "README.txt"),
         ("LICENSE.txt", ROOT / "LICENSE")]


def release_date():
    """The date every zip entry carries: SOURCE_DATE_EPOCH, else the commit's time."""
    stamp = os.environ.get("SOURCE_DATE_EPOCH")
    if stamp is None:
        try:
            stamp = subprocess.check_output(["git", "-C", str(ROOT), "log", "-1", "--format=%ct"],
                                            text=True, stderr=subprocess.DEVNULL).strip()
        except (OSError, subprocess.CalledProcessError):
            stamp = ""
    seconds = int(stamp) if stamp else 315532800  # 1980-01-01, the oldest date a zip holds
    return time.gmtime(max(seconds, 315532800))[:6]


def windows_text(path):
    """UTF-8 with a byte-order mark and CR LF line ends."""
    text = path.read_text(encoding="utf-8").replace("\r\n", "\n").replace("\n", "\r\n")
    return b"\xef\xbb\xbf" + text.encode("utf-8")


def entry(name, data, date, zip_file):
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = 0o100644 << 16
    zip_file.writestr(info, data, compresslevel=9)


def pack(exe, label, out, date):
    data = Path(exe).read_bytes()
    strings, _ = version_strings(PeFile(data).resource(16))
    stem = f"vorkelDDE-{strings['ProductVersion']}-{label}"
    archive = Path(out) / f"{stem}.zip"
    with zipfile.ZipFile(archive, "w") as z:
        entry(f"{stem}/vorkelDDE.exe", data, date, z)
        for name, source in TEXTS:
            entry(f"{stem}/{name}", windows_text(source), date, z)
    return archive


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--win32", required=True, help="the 32-bit vorkelDDE.exe")
    parser.add_argument("--win64", required=True, help="the 64-bit vorkelDDE.exe")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    for exe, bits in ((args.win32, 32), (args.win64, 64)):
        if PeFile.read(exe).bits != bits:
            sys.exit(f"{exe} is not a {bits}-bit exe")
    date = release_date()
    archives = [pack(args.win32, "win32", args.out, date), pack(args.win64, "win64", args.out, date)]
    sums = "".join(f"{hashlib.sha256(a.read_bytes()).hexdigest()}  {a.name}\n" for a in archives)
    (Path(args.out) / "SHA256SUMS").write_text(sums)
    print(sums, end="")


if __name__ == "__main__":
    main()
