"""Figures for pellumin.exe under Wine, printed, never asserted: the idle cost
beside a bare 30 ms timer program (also with the Settings window open, beside
the bare program showing a window like it), the two taking turns, the time
from a disk write to the first Scroll Lock event, and handles and memory over a
long session under write bursts (the soak run's session).

usage: wine_bench.py [BIN_DIR] [--seconds N] [--rounds N] [--starts N] [--bursts N] [--soak-minutes N] [--idle-only]
                    [--with-sample]
(BIN_DIR: the build with pellumin.exe and the bare timer of the same architecture;
by default the Wine suite's choice, build/i686 wherever this machine runs 32-bit code)
"""

import argparse
import contextlib
import ctypes
import os
import signal
import statistics
import subprocess
import tempfile
import time

from soak import Session
from wine import HOLD_S, SETTINGS, Desktop, Watcher, describe, wait_until, wine_tree  # noqa: E402 (soak puts tests/e2e on the path)

SCROLL = 145
_libc = ctypes.CDLL(None)


def cpu_ns(pid):
    """The process's CPU time in ns, its ended threads included: /proc's stat
    counts 10 ms ticks, too coarse for a program that idles on a few ms a second."""
    clock = ctypes.c_int()
    if _libc.clock_getcpuclockid(pid, ctypes.byref(clock)) != 0:
        return 0  # ended meanwhile
    try:
        return time.clock_gettime_ns(clock.value)
    except OSError:
        return 0


def prefix_pids(prefix, name):
    """The prefix's processes whose command line names `name` (lower case): the program
    wherever Wine runs it (a 32-bit one in a process of its own, beside the 64-bit
    launcher that waits for it), or the wineserver."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if name.encode() not in f.read().lower():
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            continue
    return found


def prefix_root():
    """Where the session's prefix goes: in memory where the machine has a tmpfs.
    The wineserver writes its registry out about every 30 s; in a prefix on the
    watched disk that was some 15 transfers each time, all flashed by pellumin
    and counted against it."""
    shm = "/dev/shm"
    return shm if os.path.isdir(shm) and os.access(shm, os.W_OK) else None


def host_transfers():
    """Reads and writes completed on the disks pellumin watches: those sysfs gives a device."""
    disks = {n for n in os.listdir("/sys/block") if os.path.exists(f"/sys/block/{n}/device")}
    with open("/proc/diskstats") as f:
        return sum(int(p[3]) + int(p[7]) for p in map(str.split, f) if p[2] in disks)


def wakeups(pid):
    """Voluntary context switches of the process's live threads: each is a sleep
    ended by a wake-up (/proc's own status line counts the first thread only)."""
    total = 0
    with contextlib.suppress(OSError):
        for tid in os.listdir(f"/proc/{pid}/task"):
            with contextlib.suppress(OSError), open(f"/proc/{pid}/task/{tid}/status") as f:
                total += next((int(line.split()[1]) for line in f if line.startswith("voluntary_ctxt_switches")), 0)
    return total


class Cost:
    """A turn's figures, a minute's worth: CPU s of the program's processes and
    of the wineserver, and wake-ups a second of each."""

    def __init__(self, progs, server, seconds):
        groups = (progs, server)
        cpu0, wake0 = [sum(map(cpu_ns, g)) for g in groups], [sum(map(wakeups, g)) for g in groups]
        t0 = time.monotonic()
        time.sleep(seconds)  # the measurement itself
        elapsed = time.monotonic() - t0
        self.prog_cpu, self.server_cpu = ((sum(map(cpu_ns, g)) - c) / 1e9 / elapsed * 60 for g, c in zip(groups, cpu0))
        self.prog_wake, self.server_wake = ((sum(map(wakeups, g)) - w) / elapsed for g, w in zip(groups, wake0))
        self.total = self.prog_cpu + self.server_cpu


def wait_started(desktop):
    """Until pellumin's start-up is over: its first sample loads the hidden
    Settings window, after the sweep and the tray icon. That can be 4 s after
    the spawn when another instance was just killed."""
    wait_until(lambda: desktop.probe("form", "Settings", HOLD_S * 1000).get("hwnd"), 30, "pellumin's start-up")


def settled_pids(prefix, exe):
    """A program's processes, once they spend under 2% of a CPU for half a
    second (idle, they spend 0.3%) and no new one came meanwhile: what a start
    or a shown window set off is over. A 32-bit program gets a process of its
    own after its 64-bit launcher's, and both are to be measured and stopped."""
    name = os.path.basename(exe).lower()

    def settled():
        pids = prefix_pids(prefix, name)
        before, t0 = sum(map(cpu_ns, pids)), time.monotonic()
        time.sleep(0.5)
        quiet = (sum(map(cpu_ns, pids)) - before) / 1e9 < 0.02 * (time.monotonic() - t0)
        return pids if pids and quiet and prefix_pids(prefix, name) == pids else None

    return wait_until(settled, 30, f"{name} quiet for half a second", interval=0)


def signal_all(pids, sig):
    for pid in pids:
        with contextlib.suppress(ProcessLookupError):  # a launcher may end before its program
            os.kill(pid, sig)


def idle_pair(desktop, cmds, settings, seconds, rounds):
    """The floor and pellumin (last; the sampling floor between them when asked
    for) run side by side in one session and take turns: while one runs, the
    others are stopped, so the wineserver's time in a turn is the running
    program's and the session's own. Short turns, in ABBA order, let the
    machine's drift weigh on all alike. Returns each round's costs (CPU s a
    minute of the program and the wineserver), in the order of `cmds`, with the
    host's disk transfers pellumin's turn saw: those since its last turn ended,
    since its first sample after a stop flashes what came while it was stopped."""
    prefix, procs = desktop.env["WINEPREFIX"], [desktop.spawn(*cmd) for cmd in cmds]
    wait_started(desktop)
    if settings:  # opened as a user does, from the tray menu: pellumin's window is the active one
        desktop.pick(SETTINGS)
        wait_until(lambda: desktop.probe("form", "Settings", HOLD_S * 1000).get("visible") == "1", HOLD_S,
                   "the Settings window shown")
    desktop.xdotool("mousemove", 5, 5)  # off the tray: Wine's tray tracks a pointer over it
    progs = [settled_pids(prefix, cmd[0]) for cmd in cmds]
    server = prefix_pids(prefix, "wineserver")
    costs, seen, ours = [], host_transfers(), len(cmds) - 1
    try:
        for r in range(rounds):
            got, transfers = [None] * len(cmds), 0
            for k in range(len(cmds)) if r % 2 == 0 else reversed(range(len(cmds))):
                for other in range(len(cmds)):
                    if other != k:
                        signal_all(progs[other], signal.SIGSTOP)
                signal_all(progs[k], signal.SIGCONT)
                got[k] = Cost(progs[k], server, seconds)
                if k == ours:  # one reading: a transfer between two would count for no turn
                    now = host_transfers()
                    transfers, seen = now - seen, now
            costs.append((got, transfers))
    finally:
        signal_all([pid for group in progs for pid in group], signal.SIGCONT)
        for p in procs:
            desktop.end(p)
    return costs


def print_idle_costs(desktop, bin_dir, seconds, rounds, starts, with_sample):
    """Each pair against its own floor: pellumin as started beside the bare timer,
    and with Settings shown beside the bare timer showing a window like it. Each
    pair is started afresh `starts` times, in turns with the other pair, since a
    start sets how the program's timer falls among the session's other wake-ups.
    With `with_sample`, the sampling floor (the bare timer making pellumin's
    sample at each tick) takes turns between them: the sample's share and the
    rest's."""
    bare, sampler, exe = (f"{bin_dir}/{name}.exe" for name in ("np_bare_timer", "np_sample_timer", "pellumin"))
    pairs = {"as started": ([[bare], [sampler], [exe]], False),
             "Settings shown": ([[bare, "settings"], [sampler, "settings"], [exe]], True)}
    names = ["floor", "sampling floor", "pellumin"]
    if not with_sample:
        pairs = {name: ([cmds[0], cmds[2]], settings) for name, (cmds, settings) in pairs.items()}
        names = [names[0], names[2]]
    os.sync()  # the new prefix's files reach the disk now, not as transfers in the first turns
    print(f"the session's prefix is in {os.path.dirname(os.path.dirname(desktop.env['WINEPREFIX']))}", flush=True)
    print(f"idle cost, CPU s a minute (program + wineserver), {starts} starts of {rounds} rounds of "
          f"{seconds:g} s turns per pair (target: pellumin within 1.10x its floor, wake-ups within 10% of its):", flush=True)
    got = {name: [] for name in pairs}
    for _ in range(starts):
        for name, (cmds, settings) in pairs.items():
            got[name].append(idle_pair(desktop, cmds, settings, seconds, rounds))
    for name, starts_runs in got.items():
        print_pair(name, names, starts_runs, seconds)


def ratio_line(runs, i, j):
    """Program j's cost against program i's over these rounds, with the rounds' quartiles."""
    base, cost = (statistics.mean(got[k].total for got, _ in runs) for k in (i, j))
    if len(runs) < 2:
        return base, cost, f"ratio {cost / base:.2f}"
    q1, _, q3 = statistics.quantiles([got[j].total / got[i].total for got, _ in runs], n=4, method="inclusive")
    return base, cost, f"ratio {cost / base:.2f} (the rounds' quartiles {q1:.2f}-{q3:.2f})"


def print_pair(name, names, starts_runs, seconds):
    """All rounds, as the machine was; then only the quiet ones, in which pellumin
    saw no disk transfer: its idle cost, without the flashes and texts of disk events."""
    runs = [run for start in starts_runs for run in start]
    quiet = [run for run in runs if run[1] == 0]
    ours = len(names) - 1
    base, cost, ratio = ratio_line(runs, 0, ours)
    per_start = [sum(got[ours].total for got, _ in start) / sum(got[0].total for got, _ in start)
                 for start in starts_runs]
    print(f"  {name}: floor {base:.3f}, pellumin {cost:.3f}, {ratio}; the {len(per_start)} starts' range "
          f"{min(per_start):.2f}-{max(per_start):.2f}; host disk transfers/s "
          f"{sum(t for _, t in runs) / (len(runs) * len(names) * seconds):.1f}", flush=True)
    if quiet:
        for i, j in [(0, ours)] + ([(0, 1), (1, ours)] if ours == 2 else []):
            base, cost, ratio = ratio_line(quiet, i, j)
            print(f"    quiet rounds ({len(quiet)} of {len(runs)}, no transfer for pellumin to flash): "
                  f"{names[i]} {base:.3f}, {names[j]} {cost:.3f}, {ratio}", flush=True)
    for i, who in enumerate(names):
        mean = {key: statistics.mean(getattr(got[i], key) for got, _ in runs)
                for key in ("total", "server_cpu", "prog_wake", "server_wake")}
        print(f"    {who}: CPU {mean['total']:.3f}, wineserver's share {mean['server_cpu'] / mean['total']:.0%}; "
              f"wake-ups/s: program {mean['prog_wake']:.1f}, wineserver {mean['server_wake']:.1f}, "
              f"both {mean['prog_wake'] + mean['server_wake']:.1f}", flush=True)
    wake = [statistics.mean(got[i].prog_wake + got[i].server_wake for got, _ in runs) for i in (0, ours)]
    print(f"    wake-ups/s, pellumin against its floor: {wake[1] / wake[0]:.2f}x", flush=True)


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
    ap.add_argument("--seconds", type=float, default=2.5, help="length of an idle turn")
    ap.add_argument("--rounds", type=int, default=12, help="idle rounds a start of a pair (5 starts), each a turn of each program")
    ap.add_argument("--starts", type=int, default=5, help="times each pair is started afresh")
    ap.add_argument("--bursts", type=int, default=20)
    ap.add_argument("--soak-minutes", type=int, default=10, help="length of the handles and memory session")
    ap.add_argument("--idle-only", action="store_true", help="the idle pairs alone")
    ap.add_argument("--with-sample", action="store_true",
                    help="the sampling floor (np_sample_timer.exe) takes turns too: the sample's share of the gap")
    args = ap.parse_args()
    bin_dir, why = (os.path.abspath(args.bin_dir), "as asked") if args.bin_dir else wine_tree()
    print(describe(bin_dir, why) + "; the bare timer is of the same build", flush=True)
    with tempfile.TemporaryDirectory() as tmp:
        desktop = Desktop(bin_dir, tmp, root=prefix_root())  # the latency's scratch file stays on the disk
        try:
            desktop.watcher.stop()  # its polling would be counted against the server
            print_idle_costs(desktop, bin_dir, args.seconds, args.rounds, args.starts, args.with_sample)
            if args.idle_only:
                return
            lat = sorted(latency(desktop, args.bursts, os.path.join(tmp, "scratch")))
            p90 = lat[min(len(lat) - 1, int(round(0.9 * (len(lat) - 1))))]
            print(f"write-to-light latency over {len(lat)} bursts: median {statistics.median(lat):.1f} ms, "
                  f"90th percentile {p90:.1f} ms, worst {lat[-1]:.1f} ms (target median <= 18, p90 <= 30)")
            resources_over_time(desktop, args.soak_minutes)
        finally:
            desktop.close()


if __name__ == "__main__":
    main()
