#!/usr/bin/env python3
"""Start-up of the real pellumin.exe under Wine: greeting sweep, tray icon, lock
states kept, and a second instance refused with its message box.

usage: test_startup.py NP_WIN64_DIR [--out DIR]
NP_WIN64_DIR holds pellumin.exe and np_probe.exe (the x86_64 build). The event
log and screenshots go to DIR (default: e2e-startup next to NP_WIN64_DIR).
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import Checks  # noqa: E402
from probe_tools import (Watcher, find_box, sweep_problems,  # noqa: E402
                         toggle_locks, tray_icons)
from wine_session import WaitTimeout, WineSession  # noqa: E402

TITLE = "Norvane Pellumin"
ALREADY_RUNNING = "Norvane Pellumin is already running!"
TIP = "Norvane Pellumin v1.0"
SWEEP = (144, 20, 145)
START_LOCKS = "101"  # Num and Scroll on, Caps off: both kinds of start state

# Wine's timing wobbles; these bounds still catch a missing or doubled pause.
PRESS_AFTER_RELEASE_MS = 50
PULSE_GAP_MS = (90, 200)
SWEEP_SPAN_MS = (1650, 2300)  # first release to last press: 17 gaps
FINAL_PAUSE_MS = 90           # last press to tray icon: the pause after the last pulse


def check_sweep(c, keys):
    problems = sweep_problems(keys, SWEEP)
    c.check("sweep: 54 events, release/press/release x6 for 144, 20, 145, each press toggling "
            "its lock; flags 0x90/0x10, scan 0, extra 0", not problems, "; ".join(problems))
    if len(keys) != 54:
        return
    gaps = [keys[i + 2].time - keys[i].time for i in range(0, 54, 3)]
    c.check(f"sweep: each pulse within {PRESS_AFTER_RELEASE_MS} ms",
            max(gaps) < PRESS_AFTER_RELEASE_MS, f"gaps {gaps} ms")
    pulses = [keys[i + 3].time - keys[i].time for i in range(0, 51, 3)]
    lo, hi = PULSE_GAP_MS
    c.check(f"sweep: pulses {lo}-{hi} ms apart", all(lo <= p <= hi for p in pulses),
            f"gaps {pulses} ms")
    span = keys[-1].time - keys[0].time
    c.check(f"sweep: span {SWEEP_SPAN_MS[0]}-{SWEEP_SPAN_MS[1]} ms",
            SWEEP_SPAN_MS[0] <= span <= SWEEP_SPAN_MS[1], f"{span} ms")


def check_tray_after_sweep(c, w, keys, shot_dir):
    """`keys`: every injected event since the start, the sweep first."""
    added = next(s for s in w.states() if s.tray > 0)
    last = keys[min(len(keys), 54) - 1]
    c.check("tray: no icon until the sweep has ended", added.line > last.line,
            f"icon seen at log line {added.line}, last sweep event at line {last.line}")
    extra = [k for k in keys[54:] if k.line < added.line]
    c.check("tray: no key event between the sweep and the icon", not extra,
            f"{len(extra)} events")
    c.check(f"tray: icon added after the final pause (>= {FINAL_PAUSE_MS} ms after the "
            "last press)", added.t - last.t >= FINAL_PAUSE_MS, f"{added.t - last.t:.1f} ms")
    icons = tray_icons(w.ws, w.probe_exe, 5)
    c.check(f"tray: exactly one icon, tip \"{TIP}\"",
            len(icons) == 1 and icons[0]["tip"] == TIP, f"{icons}")
    if icons:
        c.check("tray: icon image drawn", icon_drawn(w.ws, icons[0]["rect"], shot_dir))


def icon_drawn(ws, rect, shot_dir):
    """Whether the icon's cell shows more than one colour within 3 s (it may be
    shown a moment before it is painted); keeps the screenshot and a zoomed crop."""
    shot = os.path.join(shot_dir, "startup-screen.png")
    left, top, right, bottom = rect
    crop = f"{right - left}x{bottom - top}+{left}+{top}"

    def colours():
        ws.screenshot(shot)
        r = subprocess.run(["convert", shot, "-crop", crop, "+repage", "-format", "%k", "info:"],
                           check=True, capture_output=True, text=True, timeout=30)
        return int(r.stdout.strip() or 0) > 1

    try:
        drawn = ws.wait_until(colours, 3, "the icon to be painted", interval=0.2)
    except WaitTimeout:
        drawn = False
    subprocess.run(["convert", shot, "-crop", "200x60+0+0", "+repage", "-scale", "400%",
                    os.path.join(shot_dir, "startup-tray.png")], check=True, timeout=30)
    return drawn


def sweep_keys(w):
    """Injected Num and Caps Lock events: only a sweep sends them (disk flashes use Scroll Lock)."""
    return [k for k in w.keys() if k.vk != 145]


def check_second_instance(c, ws, w, exe, probe, first, shot_dir):
    keys_before = len(sweep_keys(w))
    mark = w.states()[-1].line
    second = ws.spawn(exe)
    box = find_box(ws, probe, TITLE, 10)
    if not c.check("second: message box shown", box is not None, "none within 10 s"):
        return
    c.check("second: caption", box.get("caption") == TITLE, repr(box.get("caption")))
    c.check("second: text", box.get("text") == ALREADY_RUNNING, repr(box.get("text")))
    c.check("second: OK button only, no icon",
            box.get("buttons") == "1:OK" and box.get("icons") == "0",
            f"buttons {box.get('buttons')!r}, icons {box.get('icons')}")
    w.wait_state(lambda s: s.boxes > 0, 5, "the watcher to see the box", since=mark)
    c.check("second: no sweep before or while the box is open",
            len(sweep_keys(w)) == keys_before, f"{len(sweep_keys(w)) - keys_before} new")
    ws.screenshot(os.path.join(shot_dir, "second-instance-box.png"))
    clicked = find_box(ws, probe, TITLE, 5, click=True)
    c.check("second: OK clicked", clicked is not None and clicked.get("clicked") == "1")
    try:
        code = ws.wait_exit(second, 10, "the second instance to end")
        c.check("second: process ends after OK", True)
    except WaitTimeout as e:
        c.check("second: process ends after OK", False, str(e))
        code = None
    c.check("first: still running", first.poll() is None, f"exit code {first.returncode}")
    icons = tray_icons(ws, probe, 2)
    c.check("second: no sweep at all, still one tray icon",
            len(sweep_keys(w)) == keys_before and len(icons) == 1,
            f"{len(sweep_keys(w)) - keys_before} new events, {len(icons)} icons, exit code {code}")


def run(args, c):
    exe = os.path.join(args.win64_dir, "pellumin.exe")
    probe = os.path.join(args.win64_dir, "np_probe.exe")
    for path in (exe, probe):
        if not os.path.isfile(path):
            raise FileNotFoundError(path)
    os.makedirs(args.out, exist_ok=True)
    log_path = os.path.join(args.out, "startup-events.log")
    with WineSession(args.out) as ws:
        w = Watcher(ws, probe, log_path)
        try:
            scenario(c, ws, w, exe, probe, args.out)
        finally:
            w.stop()
            print(f"--- event log ({log_path})\n{w.text()}---")


def scenario(c, ws, w, exe, probe, out):
    toggle_locks(ws, probe, *[vk for vk, on in zip(SWEEP, START_LOCKS) if on == "1"])
    before = w.wait_state(lambda s: s.locks == START_LOCKS, 5, "the start lock states")
    base = len(w.keys())
    t0 = time.monotonic()
    first = ws.spawn(exe)
    try:
        # A short or missing sweep is reported below rather than as a timeout.
        try:
            ws.wait_until(lambda: len(w.keys()) >= base + 54 and w.states()[-1].tray > 0,
                          12, "54 key events and the tray icon")
            print(f"sweep and tray icon {time.monotonic() - t0:.1f} s after start")
        except WaitTimeout as e:
            c.check("start: 54 key events and a tray icon", False, str(e))
        keys = w.keys()[base:]
        check_sweep(c, keys[:54])
        if keys and w.states()[-1].tray > 0:
            check_tray_after_sweep(c, w, keys, out)
        # Disk activity flashes Scroll Lock from now on: wait for a moment between flashes.
        try:
            after = w.wait_state(lambda s: s.locks == before.locks, 5, "the start lock states again",
                                 since=w.states()[-1].line - 1)
        except WaitTimeout:
            after = w.states()[-1]
        c.check(f"locks: after the sweep as before ({START_LOCKS})", after.locks == before.locks,
                f"before {before.locks}, after {after.locks}")
        toggle_locks(ws, probe, 20)
        try:
            on = w.wait_state(lambda s: s.locks[1] == "1", 5, "Caps Lock on", since=after.line)
        except WaitTimeout:
            on = None
        c.check("locks: the user's first Caps Lock press after the sweep toggles it", on is not None,
                f"locks {w.states()[-1].locks}")
        if on is not None:
            toggle_locks(ws, probe, 20)
            w.wait_state(lambda s: s.locks[1] == "0", 5, "Caps Lock off again", since=on.line)
        check_second_instance(c, ws, w, exe, probe, first, out)
    finally:
        # Exit is a tray menu item, which this test leaves alone; the
        # session's teardown kills whatever this leaves behind.
        if first.poll() is None:
            first.terminate()
            try:
                first.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("win64_dir")
    ap.add_argument("--out")
    args = ap.parse_args()
    args.win64_dir = os.path.abspath(args.win64_dir)
    if not args.out:
        args.out = os.path.join(os.path.dirname(args.win64_dir), "e2e-startup")
    c = Checks()
    t0 = time.monotonic()
    try:
        run(args, c)
    except (WaitTimeout, RuntimeError, OSError, subprocess.SubprocessError) as e:
        c.check("scenario completed", False, f"{type(e).__name__}: {e}")
    print(f"total {time.monotonic() - t0:.1f} s")
    return c.finish()


if __name__ == "__main__":
    sys.exit(main())
