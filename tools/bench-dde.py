#!/usr/bin/env python3
"""Round trip of one DDE tracking request under Wine: median and 99th percentile.

    tools/bench-dde.py [--build build/windows] [--count 2000] [--interval 2]

Needs the windows preset built (tracking_simulator.exe and tracking_probe.exe). The probe asks
through the station's own DDE link; only the request itself is timed, the pause between
requests (in which messages are handled, as between the station's ticks) is not.
"""

import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools" / "testing"))
from driver_args import tool_arguments  # noqa: E402
from tracking_simulator import TrackingSimulator  # noqa: E402
from wine_session import WineSession  # noqa: E402

RECORD = r"SNAO-7 AZ123.4 EL45.6 DN145950000 UP435100000\r\n"


def main():
    def add(parser):
        parser.add_argument("--count", type=int, default=2000)
        parser.add_argument("--interval", type=int, default=2, help="ms between requests")

    args = tool_arguments(__doc__.splitlines()[0], add)

    build = Path(args.build).resolve()
    simulator = build / "tools" / "win" / "tracking_simulator.exe"
    probe = build / "tools" / "win" / "tracking_probe.exe"
    for program in (simulator, probe):
        if not program.exists():
            sys.exit(f"{program} is missing: build the windows preset first")

    with WineSession(build) as wine, \
            tempfile.TemporaryDirectory(prefix="vorkel-bench-") as directory:
        out = Path(directory) / "probe.txt"
        server = TrackingSimulator(wine, simulator, ["--record", RECORD], directory)
        code, output = wine.run([probe, "--count", str(args.count), "--interval",
                                 str(args.interval), "--bench", "--out", wine.windows_path(out)],
                                timeout=args.count * (args.interval + 50) / 1000 + 60)
        lines = out.read_text().splitlines() if out.exists() else output.splitlines()
        summary = [line for line in lines if line.startswith("round trips")]
        failures = [line for line in lines if " fail " in line]
        server.stop()
    if not summary:
        sys.exit("no figures; probe said:\n" + "\n".join(lines[-5:]))
    print(f"DDE request round trip under Wine, {args.count} requests, "
          f"{args.interval} ms apart:")
    print(summary[0])
    for line in failures[:5]:
        print("failed:", line)
    return 0 if code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
