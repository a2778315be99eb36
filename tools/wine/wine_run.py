#!/usr/bin/env python3
"""Runs one Windows program under Wine in a private prefix, for CTest as the cross-compiling
emulator:

    wine_run.py PREFIX PROGRAM.exe [ARGS...]

in a Wine session of its own (tools/testing/wine_session.py: the loader of the program's
bitness, the prefix made on first use, a virtual display). Prints the program's output with
Unix line ends and exits with its exit code.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "testing"))
from wine_session import WineSession  # noqa: E402


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    prefix, program, *arguments = sys.argv[1:]
    with WineSession(prefix=prefix) as wine:
        code, out = wine.run([program, *arguments], timeout=None)
    sys.stdout.write(out)
    return code


if __name__ == "__main__":
    sys.exit(main())
