#!/usr/bin/env python3
"""Runs one Windows program under Wine in a private prefix, for CTest as the cross-compiling
emulator:

    wine_run.py PREFIX PROGRAM.exe [ARGS...]

in a Wine session of its own (tools/testing/wine_session.py: the loader of the program's
bitness, a virtual display), in a prefix of the program's own made from PREFIX (PREFIXes/NAME),
so that programs run side by side. Prints the program's output with Unix line ends and exits
with its exit code.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "testing"))
from wine_session import WineSession  # noqa: E402


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    master, program, *arguments = sys.argv[1:]
    prefix = Path(master + "es") / Path(program).stem
    with WineSession(prefix=prefix, master=master) as wine:
        code, out = wine.run([program, *arguments], timeout=None)
    sys.stdout.write(out)
    return code


if __name__ == "__main__":
    sys.exit(main())
