"""Figures for pellumin.exe under Wine, printed, never asserted: the idle cost
beside a bare 30 ms timer program (also with the Settings window open, beside
the bare program showing a window like it), the time
from a disk write to the first Scroll Lock event, and handles and memory over a
long session under write bursts (the soak run's session).

usage: wine_bench.py [BIN_DIR] [--seconds N] [--rounds N] [--bursts N] [--soak-minutes N]
(BIN_DIR: the build with pellumin.exe and the bare timer of the same architecture;
by default the Wine suite's choice, build/i686 wherever this machine runs 32-bit code)
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

from soak import Session
from wine import HOLD_S, SETTINGS, Desktop, Watcher, describe, wait_until, wine_tree  # noqa: E402 (soak puts tests/e2e on the path)

TICKS = os.sysconf("SC_CLK_TCK")
SCROLL = 145


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def wineserver_pid(prefix):
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm") as f:
                if not f.read().strip().startswith("wineserver"):
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0"):
                    return int(pid)
        except OSError:
            continue
    raise RuntimeError("no wineserver for the prefix")


def host_transfers():
    """Reads and writes completed on the disks pellumin watches: those sysfs gives a device."""
    disks = {n for n in os.listdir("/sys/block") if os.path.exists(f"/sys/block/{n}/device")}
    with open("/proc/diskstats") as f:
        return sum(int(p[3]) + int(p[7]) for p in map(str.split, f) if p[2] in disks)


def idle_cost(desktop, command, seconds, settings=False, slice_s=5):
    """CPU seconds a minute of the program and the wineserver together, and the
    host's disk transfers a second meanwhile (each one may flash), for each
    slice of the window: slices without transfers show the cost of idling alone."""
    server = wineserver_pid(desktop.env["WINEPREFIX"])
    proc = desktop.spawn(*command)
    if settings:  # opened as a user does, from the tray menu
        desktop.pick(SETTINGS)
        wait_until(lambda: desktop.probe("form", "Settings", HOLD_S * 1000).get("visible") == "1", HOLD_S,
                   "the Settings window shown")
    time.sleep(3)  # let start-up (the 1.8 s sweep) pass before measuring
    slices = []
    for _ in range(int(seconds // slice_s)):
        cpu, transfers, t0 = cpu_seconds(proc.pid) + cpu_seconds(server), host_transfers(), time.monotonic()
        time.sleep(slice_s)  # the measurement itself
        elapsed = time.monotonic() - t0
        slices.append(((cpu_seconds(proc.pid) + cpu_seconds(server) - cpu) / elapsed * 60,
                       (host_transfers() - transfers) / elapsed))
    desktop.end(proc)
    return slices


def print_idle_costs(desktop, bin_dir, seconds, rounds):
    """Each pair against its own floor: pellumin as started beside the bare timer,
    and with Settings shown beside the bare timer showing a window like it."""
    bare, exe = f"{bin_dir}/np_bare_timer.exe", f"{bin_dir}/pellumin.exe"
    pairs = {"as started": ([bare], [exe], False), "Settings shown": ([bare, "settings"], [exe], True)}
    costs = {name: ([], []) for name in pairs}
    for _ in range(rounds):  # alternating, so drift hits all alike
        for name, (floor, ours, settings) in pairs.items():
            costs[name][0].extend(idle_cost(desktop, floor, seconds))
            costs[name][1].extend(idle_cost(desktop, ours, seconds, settings))
    print(f"idle cost, CPU s a minute (program + wineserver), {rounds} rounds of {seconds:.0f} s alternating, "
          "in 5 s slices (target: pellumin within 1.4x its floor, 1.25x the stretch):")
    for name, (floor, ours) in costs.items():
        base = statistics.mean(c for c, _ in floor)
        quiet = [c for c, t in ours if t == 0]  # no disk transfer on the host: no flash, no text update
        quiet_text = (f"{statistics.mean(quiet):.2f}, ratio {statistics.mean(quiet) / base:.2f} in the {len(quiet)} "
                      f"of {len(ours)} slices without host disk transfers" if quiet else "no slice was without")
        print(f"  {name}: floor {base:.2f}; pellumin {statistics.mean(c for c, _ in ours):.2f}, ratio "
              f"{statistics.mean(c for c, _ in ours) / base:.2f} in all slices (host transfers/s "
              f"{statistics.mean(t for _, t in ours):.1f} on average); {quiet_text}")


def latency(desktop, bursts, scratch):
    """Milliseconds from the start of a synced write burst to the first Scroll Lock event."""
    w = Watcher(desktop, os.path.join(desktop.artifacts, "latency-watch.log"))
    proc = desktop.spawn(f"{desktop.bin_dir}/pellumin.exe")
    wait_until(lambda: w.state().tray > 0, 15, "the tray icon")
    results = []
    try:
        for _ in range(bursts):
            # Start only after the previous flash has ended and 500 ms have passed.
            wait_until(lambda: quiet_since(w) >= 500, 30, "a quiet moment", interval=0.05)
            start = time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000  # the hook log's clock
            subprocess.run(["dd", "if=/dev/zero", f"of={scratch}", "bs=4k", "count=4", "oflag=direct", "conv=fsync"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            first = wait_until(lambda: next((k for k in w.keys() if k.vk == SCROLL and k.t >= start), None), 10,
                               "a Scroll Lock event")
            results.append(first.t - start)
    finally:
        desktop.end(proc)
        w.stop()
    return results


def quiet_since(w):
    """Milliseconds since the last Scroll Lock event, or 0 while a flash is on."""
    scroll = [k for k in w.keys() if k.vk == SCROLL]
    if len([k for k in scroll if not k.up]) % 2:
        return 0
    now = time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000
    return now - scroll[-1].t if scroll else 1e9


def resources_over_time(desktop, minutes):
    print(f"handles and memory (PagefileUsage) of pellumin.exe over {minutes} min of write bursts, with the menu, "
          "About and Settings opened and closed in between:", flush=True)
    session = Session(desktop, minutes).run()
    if session.error or len(session.samples) < 2:
        print(f"  the session broke off: {session.error}")
        return
    first, minute, last = session.samples[0], session.sample_at(60), session.samples[-1]
    for label, since in (("10 s", first), ("1 min", minute))[:2 if minute is not last else 1]:
        print(f"  growth from {label} to {last.at / 60:.0f} min: handles {last.handles - since.handles:+d}, "
              f"memory {(last.memory - since.memory) / 1024:+.0f} KiB, "
              f"working set {(last.working_set - since.working_set) / 1024:+.0f} KiB")
    print(f"  {session.rounds} rounds, error boxes {len(session.boxes)}, "
          f"{'stopped by itself' if session.stopped is not None else 'ran to its Exit'}")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("bin_dir", nargs="?")
    ap.add_argument("--seconds", type=float, default=20)
    ap.add_argument("--rounds", type=int, default=2)
    ap.add_argument("--bursts", type=int, default=20)
    ap.add_argument("--soak-minutes", type=int, default=10, help="length of the handles and memory session")
    args = ap.parse_args()
    bin_dir, why = (os.path.abspath(args.bin_dir), "as asked") if args.bin_dir else wine_tree()
    print(describe(bin_dir, why) + "; the bare timer is of the same build", flush=True)
    with tempfile.TemporaryDirectory() as tmp:
        desktop = Desktop(bin_dir, tmp)
        try:
            desktop.watcher.stop()  # its polling would be counted against the server
            print_idle_costs(desktop, bin_dir, args.seconds, args.rounds)
            lat = sorted(latency(desktop, args.bursts, os.path.join(tmp, "scratch")))
            p90 = lat[min(len(lat) - 1, int(round(0.9 * (len(lat) - 1))))]
            print(f"write-to-light latency over {len(lat)} bursts: median {statistics.median(lat):.1f} ms, "
                  f"90th percentile {p90:.1f} ms, worst {lat[-1]:.1f} ms (target median <= 30, p90 <= 45)")
            resources_over_time(desktop, args.soak_minutes)
        finally:
            desktop.close()


if __name__ == "__main__":
    main()
