"""The one entry point for the arguments of the Python drivers.

A test (test_*.py, registered with vorkel_add_wine_test, which hands it --build) calls
test_arguments() and then run_tests(); a tool run by hand (measure.py, soak.py, demo.py,
bench-dde.py) calls tool_arguments(). Both take --build, the Windows build tree, and whatever
their own `add(parser)` adds.
"""

import argparse
import sys
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
WINDOWS_BUILD = ROOT / "build" / "windows"


def _parser(description, add, build):
    parser = argparse.ArgumentParser(description=description,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    if build == "required":
        parser.add_argument("--build", required=True, help="the Windows build tree")
    elif build == "default":
        parser.add_argument("--build", default=str(WINDOWS_BUILD),
                            help=f"the Windows build tree ({WINDOWS_BUILD.relative_to(ROOT)})")
    if add is not None:
        add(parser)
    return parser


def test_arguments(add=None, build="required", description=None):
    """A test's own arguments, and the rest (-v, -k, names of tests) for run_tests()."""
    return _parser(description, add, build).parse_known_args()


def run_tests(rest):
    """Runs the calling script's tests, unittest taking the arguments left over."""
    unittest.main(module="__main__", argv=[sys.argv[0], *rest], verbosity=2)


def tool_arguments(description=None, add=None, build="default"):
    """A tool's arguments; --build defaults to build/windows."""
    return _parser(description, add, build).parse_args()
