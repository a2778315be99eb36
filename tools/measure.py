#!/usr/bin/env python3
"""Measures the station's performance and footprint and prints every figure with its target.

    tools/measure.sh [--bits 64|32] [--ticks 600] [--starts 10]

Native: one record through the tick's logic (Google Benchmark). Under Wine, with both
simulators: start-up, CPU per tick and per minute, tick latency from the tracking program
receiving the request to the last byte of the command on the pty, the DDE round trip, memory,
exe size and imported DLLs. In the same run the tick floor (tools/win/tick_floor.cpp), the
least program making one tick's system calls, is measured the same way, and the station's
tick CPU, tick latency, start-up and private memory are set against it. Figures, not
pass/fail: a missed target is marked, not fatal.
"""

import json
import os
import re
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools" / "testing"))
from driver_args import tool_arguments  # noqa: E402
from station_rig import TITLE, StationRig  # noqa: E402
from wine_session import exe_bits, wait_until  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
rows = []


def figure(name, value, target, met):
    rows.append((name, value, target, "yes" if met else "NO"))
    print(f"{name}: {value}   (target {target}: {'met' if met else 'MISSED'})", flush=True)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime + stime


def private_kib(pid):
    """Memory the process alone holds (Linux's view of the Windows process: Wine's own DLLs'
    private pages count too)."""
    total = 0
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
        if line.startswith(("Private_Dirty:", "Private_Clean:")):
            total += int(line.split()[1])
    return total


def logic_benchmark(build):
    out = subprocess.check_output(
        [str(build / "bench" / "logic_benchmark"), "--benchmark_repetitions=5",
         "--benchmark_format=json"], text=True)
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("aggregate_name") == "median"]
    ns = runs[0]["real_time"]
    figure("one record through the logic (native, median of 5)", f"{ns:.0f} ns", "< 1 us",
           ns < 1000)


FLOOR_TITLE = "vorkelDDE tick floor"


def x_window_shown(env, title=TITLE):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + title],
                           env=env, capture_output=True, text=True)
    return found.returncode == 0 and found.stdout.strip() != ""


class Program:
    """The station or the tick floor: how to start it and how to see its window."""

    def __init__(self, name, exe, title, press_send):
        self.name, self.exe, self.title, self.press_send = name, exe, title, press_send


def start_up_ms(rig, program):
    """Process start to window shown; also waits for its first request and ends it."""
    before = len(rig.tracker_requests())
    began = time.monotonic()
    proc = rig.spawn([rig.exe(program.exe)], name=program.name)
    wait_until(lambda: x_window_shown(rig.env, program.title), timeout=20, interval=0.002)
    shown = (time.monotonic() - began) * 1000
    wait_until(lambda: len(rig.tracker_requests()) > before, timeout=20, interval=0.005)
    first_request = (time.monotonic() - began) * 1000
    rig.stop(proc)
    wait_until(lambda: not x_window_shown(rig.env, program.title), timeout=10)
    return shown, first_request


def tick_run(rig, program, ticks):
    """CPU per tick, latency per tick (request received to the command's last byte on the
    pty) and private memory of one program ticking with every tick sending."""
    proc = rig.spawn([rig.exe(program.exe)], name=program.name)
    wait_until(lambda: x_window_shown(rig.env, program.title), timeout=20)
    if program.press_send:
        rig.press("chk_update")
    points0 = len(rig.line.events("bytes"))
    wait_until(lambda: len(rig.line.events("bytes")) > points0, timeout=10)
    pid = rig.program_pid(proc)
    cpu0, mem0 = cpu_seconds(pid), private_kib(pid)
    requests0 = len(rig.tracker_requests())
    began = time.monotonic()
    print(f"{program.name}: running {ticks} ticks, every one sending ...", flush=True)
    wait_until(lambda: len(rig.tracker_requests()) - requests0 >= ticks,
               timeout=ticks * 1.5 + 30, interval=0.5)
    elapsed = time.monotonic() - began
    cpu1, mem1 = cpu_seconds(pid), private_kib(pid)
    # /proc counts CPU time in 10 ms steps: a short run may show none.
    if cpu1 <= cpu0 and ticks >= 30:
        raise RuntimeError(f"{program.name}: no CPU time in {pid}: not the program's process")
    run_ticks = len(rig.tracker_requests()) - requests0
    time.sleep(0.5)
    received = [float(m.group(1)) for l in rig.tracker_requests()[requests0:]
                if (m := re.search(r"received ([0-9.]+)", l))]
    arrivals = [e["time"] for e in rig.line.events("bytes")
                if bytes.fromhex(e["hex"]).endswith(b"\r")]
    latencies = []
    for start, end in zip(received, received[1:] + [float("inf")]):
        done = [t for t in arrivals if start < t < end]
        if done:
            latencies.append((done[0] - start) * 1000)
    rig.stop(proc)
    wait_until(lambda: not x_window_shown(rig.env, program.title), timeout=10)
    return {"ticks": run_ticks, "cpu_ms": (cpu1 - cpu0) / run_ticks * 1000,
            "cpu_per_minute": (cpu1 - cpu0) / elapsed * 60,
            "latency_median": statistics.median(latencies),
            "latency_99": percentile(latencies, 0.99), "latencies": len(latencies),
            "private_kib": mem1, "private_growth_kib": mem1 - mem0}


def station_and_floor(build, ticks, starts, wine_fonts=True):
    """The station and the floor of its ticks, in one rig, one after the other."""
    station = Program("station", "vorkelDDE", TITLE, press_send=True)
    floor = Program("floor", "tick_floor", FLOOR_TITLE, press_send=False)
    with StationRig(build, tracker=["--pass", "AO-7", "--speed", "5"],
                    wine_fonts=wine_fonts) as rig:
        shown = {station.name: [], floor.name: []}
        first_request = []
        for _ in range(starts):  # by turns, so that both meet the same machine
            for program in (station, floor):
                ms, first = start_up_ms(rig, program)
                shown[program.name].append(ms)
                if program is station:
                    first_request.append(first)
        runs = {p.name: tick_run(rig, p, ticks) for p in (station, floor)}
        commands = len(rig.line.events("point"))
        cut = len(rig.line.events("refused"))

    s, f = runs["station"], runs["floor"]
    figure(f"tick cost: station CPU per tick, sending on ({s['ticks']} ticks)",
           f"{s['cpu_ms']:.2f} ms", "< 2 ms", s["cpu_ms"] < 2)
    figure("tick latency: request received to last command byte on the pty (median, 99th)",
           f"{s['latency_median']:.1f} ms, {s['latency_99']:.1f} ms ({s['latencies']} ticks)",
           "median < 5 ms, 99th < 15 ms", s["latency_median"] < 5 and s["latency_99"] < 15)
    figure("idle cost: station CPU per minute of ticking", f"{s['cpu_per_minute']:.2f} s",
           "< 0.5 s", s["cpu_per_minute"] < 0.5)
    figure(f"private memory after {s['ticks']} ticks (growth over the run)",
           f"{s['private_kib'] / 1024:.1f} MiB ({s['private_growth_kib']:+d} KiB)", "< 8 MiB",
           s["private_kib"] < 8 * 1024)
    figure(f"start-up: process start to window shown (median of {starts}, worst)",
           f"{statistics.median(shown['station']):.0f} ms, {max(shown['station']):.0f} ms",
           "< 300 ms", statistics.median(shown["station"]) < 300)
    figure("start-up: process start to the first tick's request (median)",
           f"{statistics.median(first_request):.0f} ms", "about 1 s",
           800 < statistics.median(first_request) < 1500)
    print(f"commands received {commands}, malformed {cut}", flush=True)

    against = [
        ("tick CPU (ms per tick)", s["cpu_ms"], f["cpu_ms"], "ratio", 1.25),
        ("tick latency, median (ms)", s["latency_median"], f["latency_median"], "ratio", 1.25),
        ("tick latency, 99th percentile (ms)", s["latency_99"], f["latency_99"], "ratio", 1.25),
        ("start-up to window shown, median (ms)", statistics.median(shown["station"]),
         statistics.median(shown["floor"]), "ratio", None),
        ("private memory (MiB)", s["private_kib"] / 1024, f["private_kib"] / 1024, "difference",
         1.0),
    ]
    print(f"\nstation against the floor of its ticks ({s['ticks']} and {f['ticks']} ticks, "
          f"{starts} starts each)")
    print("| figure | station | floor | station / floor | target | met |\n|---|---|---|---|---|---|")
    for name, mine, least, kind, target in against:
        if kind == "ratio":
            relation = f"{mine / least:.2f}x" if least > 0 else "-"
            goal = f"within {target}x" if target else "-"
            met = "-" if target is None else ("yes" if least > 0 and mine / least <= target
                                              else "NO")
        else:
            relation = f"{mine - least:+.2f} MiB"
            goal = f"within {target:g} MiB"
            met = "yes" if mine - least <= target else "NO"
        print(f"| {name} | {mine:.2f} | {least:.2f} | {relation} | {goal} | {met} |")


def dde_round_trip(build):
    out = subprocess.run([sys.executable, str(ROOT / "tools" / "bench-dde.py"), "--build",
                          str(build), "--count", "1000", "--interval", "20"],
                         capture_output=True, text=True).stdout
    line = next((l for l in out.splitlines() if l.startswith("round trips")), "")
    median = re.search(r"median ([0-9.]+) ms", line)
    value = float(median.group(1)) if median else float("inf")
    figure("DDE request round trip under Wine (1000 requests)", line or "no figures",
           "median < 5 ms", value < 5)


def footprint(build, bits):
    exe = build / "ui" / "vorkelDDE.exe"
    size = exe.stat().st_size
    figure(f"exe size ({bits}-bit)", f"{size / 1024:.0f} KiB", "< 512 KiB", size < 512 * 1024)
    objdump = "x86_64-w64-mingw32-objdump" if bits == 64 else "i686-w64-mingw32-objdump"
    dump = subprocess.check_output([objdump, "-p", str(exe)], text=True)
    dlls = sorted(l.split(":")[1].strip() for l in dump.splitlines() if "DLL Name" in l)
    own = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll"}
    figure("DLLs imported", ", ".join(dlls), "Windows' own only",
           all(d.lower() in own for d in dlls))


def main():
    def add(parser):
        parser.add_argument("--ticks", type=int, default=600)
        parser.add_argument("--starts", type=int, default=10)
        parser.add_argument("--native", default=str(ROOT / "build" / "native"))
        parser.add_argument("--without-wine-fonts", action="store_true",
                            help="the station and floor only, in a prefix without Wine's own "
                                 "fonts (the widgets then drawn in an anti-aliased TrueType face)")

    args = tool_arguments(__doc__.splitlines()[0], add)
    native, build = Path(args.native), Path(args.build)
    bits = exe_bits(build / "ui" / "vorkelDDE.exe")
    print(f"measuring the {bits}-bit exe of {build}", flush=True)

    if args.without_wine_fonts:
        station_and_floor(build, args.ticks, args.starts, wine_fonts=False)
    else:
        logic_benchmark(native)
        footprint(build, bits)
        dde_round_trip(build)
        station_and_floor(build, args.ticks, args.starts)

    print("\n| figure | measured | target | met |\n|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
