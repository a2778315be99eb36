#!/usr/bin/env python3
"""The station at work: vorkelDDE.exe under Wine, fed by the simulated tracking program playing
a satellite pass, pointing the simulated rotor controller on COM1.

With a display the operator uses the window; the rotor controller's log scrolls in the terminal;
closing the station (or Ctrl-C) ends everything. The controller is, unless --steady, a board that
resets whenever its port is opened, as many Arduino-based ones do: it loses what arrives while it
boots and ignores W commands for 5 s after that, then follows the pass. Without a display (or
with --headless) it runs on a virtual screen for --seconds, with sending switched on, then saves a screenshot and ends.
With --pictures DIR it also saves the README's pictures there: the main window during the pass,
the about box, and the main window at its normal size after the tracking program has gone.
"""

import os
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools" / "testing"))
from driver_args import tool_arguments  # noqa: E402
from station_rig import BOX_TITLE, FAILURE_TITLE, TITLE, StationRig  # noqa: E402
from wine_session import wait_until  # noqa: E402


def describe(event):
    clock = time.strftime("%H:%M:%S", time.localtime(event["time"]))
    kind = event["event"]
    if kind == "point":
        return f"{clock}  rotor  {event['text']:<10} understood: azimuth {event['azimuth']:3d}  " \
               f"elevation {event['elevation']:3d}   rotor at {event['rotor'][0]}/{event['rotor'][1]}"
    if kind == "stop":
        return f"{clock}  rotor  STOP"
    if kind == "settings":
        return f"{clock}  rotor  line {event.get('baud')} baud"
    if kind == "refused":
        return f"{clock}  rotor  {event['text']:<10} REFUSED ({event['why']}), answered ?>"
    if kind == "boot":
        return f"{clock}  rotor  port opened: the board resets, its bootloader runs " \
               f"{event['boot_ms']} ms, then W is ignored for {event['guard_ms']} ms"
    if kind == "lost":
        return f"{clock}  rotor  {event['text']:<10} lost (the board is booting)"
    if kind == "ignored":
        return f"{clock}  rotor  {event['text']:<10} ignored (the firmware's wait after boot)"
    if kind == "closed":
        return f"{clock}  rotor  port closed"
    return None


def crop_window(rig, shot, window, path):
    left, top, right, bottom = window["rect"]
    subprocess.run(["convert", str(shot), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", "-strip", str(path)], check=True)
    print(f"picture: {path}")


def save_pictures(rig, folder):
    """The main window as the pass goes on, the about box beside it, then the main window at
    its normal size while every tick fails."""
    folder.mkdir(parents=True, exist_ok=True)
    shot = rig.screenshot(folder / "screen.png")
    crop_window(rig, shot, rig.main_window(), folder / "main-window.png")
    rig.probe("move", TITLE, 700, 0)  # out of the way: the topmost main window would cover it
    rig.press("cmd_acerca")
    box = wait_until(lambda: next((w for w in rig.windows()
                                   if w["title"].startswith(BOX_TITLE)), None), timeout=10)
    time.sleep(1)
    shot = rig.screenshot(folder / "screen.png")
    crop_window(rig, shot, box, folder / "about-box.png")
    # A failure: the tracking program gone. The title's start and the icon tell.
    rig.probe("close", BOX_TITLE)
    rig.stop_tracker()
    rig.probe("move", TITLE, 0, 0)
    wait_until(lambda: rig.main_window()["title"] == FAILURE_TITLE, timeout=5)
    time.sleep(0.5)
    shot = rig.screenshot(folder / "screen.png")
    crop_window(rig, shot, rig.main_window(), folder / "failure-title.png")
    (folder / "screen.png").unlink()


def main():
    def add(parser):
        parser.add_argument("--headless", action="store_true",
                            help="run on a virtual screen even when a display is there")
        parser.add_argument("--seconds", type=float, default=20,
                            help="how long a headless run lasts (default 20)")
        parser.add_argument("--speed", default="20",
                            help="seconds of the pass per second of the demo (default 20)")
        parser.add_argument("--steady", action="store_true",
                            help="a rotor controller that does not reset when its port opens")
        parser.add_argument("--pictures", metavar="DIR",
                            help="save pictures of both windows there (runs headless)")

    args = tool_arguments(__doc__, add)
    headless = args.headless or args.pictures or not os.environ.get("DISPLAY")
    if headless:
        os.environ.pop("DISPLAY", None)

    tracker = ["--pass", "NOAA 19", "--speed", args.speed, "--advance", "second"]
    display = None if headless else os.environ["DISPLAY"]
    with StationRig(args.build, tracker=tracker, display=display,
                    managed_windows=not headless) as rig:
        if not args.steady:
            rig.new_line(reset_on_open=(1000, 5000))
        print(f"rotor controller on {rig.line.path}, as COM1 of {rig.prefix}"
              f"{'' if args.steady else ', resetting whenever its port is opened'}")
        print("tracking program: simulated pass of NOAA 19")
        rig.start_station()
        if headless:
            rig.press("chk_update")
            print("sending switched on ('Envía datos')")
        else:
            print("station running: tick 'Envía datos' to point the rotor; close it to end")
        shown = 0
        opened = False
        deadline = time.monotonic() + args.seconds
        try:
            while rig.station_running() and (not headless or time.monotonic() < deadline):
                events = rig.line.events()
                for event in events[shown:]:
                    opened = opened or event["event"] == "opened"
                    # The pty's own settings before the station first opens it are of no interest.
                    text = describe(event) if opened else None
                    if text:
                        print(text, flush=True)
                shown = len(events)
                time.sleep(0.2)
            if headless:
                out = Path(args.build) / "demo"
                out.mkdir(parents=True, exist_ok=True)
                shot = rig.screenshot(out / "screen.png")
                window = rig.main_window()
                print(f"screenshot: {shot}")
                print("station window: " + (window["title"] if window else "gone"))
                fields = {k: v["text"] for k, v in rig.widgets().items() if k.startswith("txt_")}
                print("fields: " + ", ".join(f"{k}={v!r}" for k, v in fields.items()))
                if args.pictures:
                    save_pictures(rig, Path(args.pictures))
        except KeyboardInterrupt:
            print("\nstopping")
        points = len(rig.line.events("point"))
        refused = len(rig.line.refused())
        print(f"{points} point commands reached the rotor controller and were understood, "
              f"{refused} refused; the rotor points at {rig.line.rotor()[0]}/{rig.line.rotor()[1]}")


if __name__ == "__main__":
    main()
