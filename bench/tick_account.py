"""What one idle tick costs, counted: for the bare timer, the sampling floor
(the bare timer making pellumin's sample) and pellumin (as started, and with
Settings shown beside the two showing a window like it), over the same length
of time each, the wake-ups a second (voluntary context switches of the
program's threads and of the wineserver), the Wine server requests by name per
tick (from a wineserver run with -d1), and the system calls per tick of the
program and of the wineserver (strace -c, in a second window of the same
length: strace's own cost stays out of the counts above). Counts, not CPU
ratios: they hold on a busy machine.

usage: tick_account.py [BIN_DIR] [--seconds N] [--out DIR] [--only CASE] [--profile]
"""

import argparse
import collections
import contextlib
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_bench import prefix_pids, prefix_root, settled_pids, wait_started  # noqa: E402
from wine import HOLD_S, SETTINGS, Desktop, describe, wait_until, wine_tree  # noqa: E402

TICK_S = 0.030
REQUEST = re.compile(r"^([0-9a-f]{4}): ([a-z_0-9]+)\(")
THREAD_START = re.compile(r"^([0-9a-f]{4}): init_(?:first_)?thread\(.*?unix_tid=(\d+)")


def tids(pids):
    found = set()
    for pid in pids:
        try:
            found.update(int(t) for t in os.listdir(f"/proc/{pid}/task"))
        except OSError:
            pass
    return found


def switches(pids):
    """Voluntary context switches of every live thread of these processes."""
    total = 0
    for pid in pids:
        try:
            tasks = os.listdir(f"/proc/{pid}/task")
        except OSError:
            continue
        for t in tasks:
            try:
                with open(f"/proc/{pid}/task/{t}/status") as f:
                    total += next(int(line.split()[1]) for line in f if line.startswith("voluntary_ctxt_switches"))
            except (OSError, StopIteration):
                pass
    return total


SYSCALL = re.compile(r"^(\d+) +(?:<\.\.\. )?([a-z_0-9]+)(\(| resumed>)(?:.*<([\d.]+)>$)?")


def strace_calls(pids, seconds, out):
    """Every system call of these processes for `seconds`, in order: [(name, seconds)]."""
    args = ["strace", "-f", "-T", "-o", out]
    for pid in pids:
        args += ["-p", str(pid)]
    p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    p.send_signal(2)
    p.wait(timeout=30)
    calls, started = [], {}
    with open(out, errors="replace") as f:
        for line in f:
            m = SYSCALL.match(line)
            if not m:
                continue
            pid, name, how, took = m.groups()
            if how == "(" and line.rstrip().endswith("<unfinished ...>"):
                started[pid] = len(calls)
                calls.append((name, 0.0))
            elif how == "(":
                calls.append((name, float(took or 0)))
            elif pid in started:  # the end of an unfinished call: its time
                i = started.pop(pid)
                calls[i] = (name, float(took or 0))
    return calls


def summary(calls):
    got = {}
    for name, took in calls:
        n, t = got.get(name, (0, 0.0))
        got[name] = (n + 1, t + took)
    return got


def quiet_tick(calls, marker=("pread64", "pread")):
    """The commonest tick, cut at each sample's read of a disk's counters (one
    disk watched): (its share of the ticks, {name: (calls, seconds)}), or None."""
    ticks, current = [], None
    for name, took in calls:
        if name in marker:
            if current is not None:
                ticks.append(current)
            current = []
        if current is not None:
            current.append((name, took))
    if not ticks:
        return None
    shape = collections.Counter(tuple(sorted(collections.Counter(n for n, _ in t).items())) for t in ticks)
    common, n = shape.most_common(1)[0]
    alike = [t for t in ticks if tuple(sorted(collections.Counter(x for x, _ in t).items())) == common]
    got = summary(c for t in alike for c in t)
    return n / len(ticks), {k: (c / len(alike), secs / len(alike)) for k, (c, secs) in got.items()}


def perf_stat(pids, seconds):
    """perf stat of these processes for `seconds`: {event: count}; task-clock in ms."""
    out = subprocess.run(["perf", "stat", "-x", ",", "-e", "task-clock,context-switches,raw_syscalls:sys_enter",
                          "-p", ",".join(map(str, pids)), "--", "sleep", str(seconds)],
                         capture_output=True, text=True, timeout=seconds + 30).stderr
    got = {}
    for line in out.splitlines():
        parts = line.split(",")
        if len(parts) > 2 and parts[2]:
            with contextlib.suppress(ValueError):
                got[parts[2]] = float(parts[0])
    return got


PROFILE_HZ = 4000  # a sample each 250 us of CPU: a few a tick, without the cost of sampling swamping the tick


def perf_profile(pids, seconds, out):
    """Where the processes' CPU goes, in us a tick: by module (Windows code is
    named by its .dll or .exe) and, in the kernel, by function."""
    subprocess.run(["perf", "record", "-q", "-e", "cpu-clock", "-F", str(PROFILE_HZ), "-o", out,
                    "-p", ",".join(map(str, pids)), "--", "sleep", str(seconds)], capture_output=True, timeout=seconds + 30)

    def samples(sort):
        report = subprocess.run(["perf", "report", "-i", out, "--stdio", "-n", "--sort", sort],
                                capture_output=True, text=True, timeout=120).stdout
        for line in report.splitlines():
            parts = line.split()
            if len(parts) >= 3 and parts[0].endswith("%") and parts[1].isdigit():
                yield int(parts[1]), " ".join(parts[2:])

    us = 1e6 / PROFILE_HZ / (seconds / TICK_S)
    modules = [(n * us, os.path.basename(name)) for n, name in samples("dso")]
    kernel = [(n * us, name.split("] ", 1)[-1]) for n, name in samples("dso,sym") if name.startswith("[kernel")]
    return modules, kernel[:8]


class TracedServer:
    """A wineserver in the foreground with request tracing, its log in a file."""

    def __init__(self, desktop, log):
        self.desktop, self.log = desktop, log
        desktop.watcher.stop()  # its polling would be counted against the programs
        desktop._end_server()
        self.out = open(log, "w")
        self.proc = subprocess.Popen(["wineserver", "-f", "-d1", "-p60"], env=desktop.env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=self.out)
        time.sleep(1)

    def size(self):
        self.out.flush()
        return os.path.getsize(self.log)

    def requests(self, start, end, threads):
        """Requests by name between two offsets of the log: those of the given
        unix threads, all others', and the given threads' requests tick by tick
        (a tick ends where the server hands over a WM_TIMER)."""
        ours, others, owner, ticks = collections.Counter(), collections.Counter(), {}, [collections.Counter()]
        with open(self.log, "rb") as f:
            head = f.read(end).decode(errors="replace")
        for line in head.splitlines():  # thread ids are handed out at start: the whole log up to here
            m = THREAD_START.match(line)
            if m:
                owner[m.group(1)] = int(m.group(2))
        for line in head[start:].splitlines():
            m = REQUEST.match(line)
            if not m:
                continue
            mine = owner.get(m.group(1)) in threads
            if ") = " in line:  # a reply
                if mine and m.group(2) == "get_message" and "msg=00000113" in line:
                    ticks.append(collections.Counter())
                continue
            (ours if mine else others)[m.group(2)] += 1
            if mine:
                ticks[-1][m.group(2)] += 1
        return ours, others, ticks[1:-1]  # whole ticks only


def account(desktop, server, name, cmd, settings, seconds, out_dir, profile_on):
    prefix = desktop.env["WINEPREFIX"]
    proc = desktop.spawn(*cmd)
    try:
        if cmd[0].endswith("pellumin.exe"):
            wait_started(desktop)
        if settings:
            desktop.pick(SETTINGS)
            wait_until(lambda: desktop.probe("form", "Settings", HOLD_S * 1000).get("visible") == "1", HOLD_S,
                       "the Settings window shown")
        desktop.xdotool("mousemove", 5, 5)
        pids = settled_pids(prefix, cmd[0])
        server_pid = server.proc.pid
        threads = tids(pids)
        s0, w0, t0 = switches(pids), switches([server_pid]), time.monotonic()
        off0 = server.size()
        time.sleep(seconds)
        s1, w1, t1 = switches(pids), switches([server_pid]), time.monotonic()
        off1 = server.size()
        ticks = (t1 - t0) / TICK_S
        ours, others, by_tick = server.requests(off0, off1, threads)
        prog_calls = strace_calls(pids, seconds, os.path.join(out_dir, f"{name}-prog.strace"))
        prog_sys, quiet = summary(prog_calls), quiet_tick(prog_calls)
        serv_sys = summary(strace_calls([server_pid], seconds, os.path.join(out_dir, f"{name}-server.strace")))
        perf = {who: perf_stat(p, seconds) for who, p in (("program", pids), ("wineserver", [server_pid]))}
        profile = perf_profile(pids, seconds, os.path.join(out_dir, f"{name}.perf")) if profile_on else None
    finally:
        desktop.end(proc)
    strace_ticks = seconds / TICK_S
    print(f"{name}: {(s1 - s0) / (t1 - t0):.1f} program wake-ups/s, {(w1 - w0) / (t1 - t0):.1f} wineserver "
          f"wake-ups/s ({ticks:.0f} ticks)")
    print(f"  server requests per tick (program): {sum(ours.values()) / ticks:.2f}; "
          + ", ".join(f"{k} {v / ticks:.2f}" for k, v in ours.most_common()))
    print(f"  server requests per tick (other processes): {sum(others.values()) / ticks:.2f}; "
          + ", ".join(f"{k} {v / ticks:.2f}" for k, v in others.most_common(8)))
    shapes = collections.Counter(" ".join(f"{k}x{v}" for k, v in sorted(t.items())) for t in by_tick)
    print(f"  ticks by their requests ({len(by_tick)} whole ticks): "
          + "; ".join(f"{n} [{shape}]" for shape, n in shapes.most_common(6)))
    for who, calls in (("program", prog_sys), ("wineserver", serv_sys)):
        total = sum(c for c, _ in calls.values())
        print(f"  syscalls per tick ({who}): {total / strace_ticks:.2f}; "
              + ", ".join(f"{k} {c / strace_ticks:.2f} ({s / max(c, 1) * 1e6:.0f} us)"
                          for k, (c, s) in sorted(calls.items(), key=lambda kv: -kv[1][0])[:12]))
    if quiet:
        share, calls = quiet
        print(f"  the commonest sample tick ({share:.0%} of them), system calls: {sum(c for c, _ in calls.values()):.0f}, "
              f"{sum(t for _, t in calls.values()) * 1e6:.0f} us under strace; "
              + ", ".join(f"{k} {c:.0f} ({t * 1e6:.0f} us)" for k, (c, t) in sorted(calls.items(), key=lambda kv: -kv[1][0])))
    for who, got in perf.items():
        print(f"  perf per tick ({who}): CPU {got.get('task-clock', 0) * 1000 / strace_ticks:.1f} us, "
              f"context switches {got.get('context-switches', 0) / strace_ticks:.2f}, "
              f"system calls {got.get('raw_syscalls:sys_enter', 0) / strace_ticks:.2f}")
    if profile:
        modules, kernel = profile
        print(f"  profile, us a tick: {sum(t for t, _ in modules):.1f} in all; "
              + ", ".join(f"{name} {t:.1f}" for t, name in modules if t >= 0.5))
        print("    the kernel's top functions: " + ", ".join(f"{name} {t:.1f}" for t, name in kernel))
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("bin_dir", nargs="?")
    ap.add_argument("--seconds", type=float, default=10)
    ap.add_argument("--out", default=None, help="keep the server log and strace summaries here")
    ap.add_argument("--only", default=None, help="one case by name")
    ap.add_argument("--profile", action="store_true", help="perf record the program's process too")
    args = ap.parse_args()
    bin_dir, why = (os.path.abspath(args.bin_dir), "as asked") if args.bin_dir else wine_tree()
    print(describe(bin_dir, why), flush=True)
    bare, sampler, exe = (f"{bin_dir}/{name}.exe" for name in ("np_bare_timer", "np_sample_timer", "pellumin"))
    cases = [("floor", [bare], False), ("sampler", [sampler], False), ("pellumin", [exe], False),
             ("floor-settings", [bare, "settings"], False), ("sampler-settings", [sampler, "settings"], False),
             ("pellumin-settings", [exe], True)]
    with tempfile.TemporaryDirectory() as tmp:
        out_dir = args.out or tmp
        os.makedirs(out_dir, exist_ok=True)
        desktop = Desktop(bin_dir, tmp, root=prefix_root())
        try:
            server = TracedServer(desktop, os.path.join(out_dir, "server.log"))
            # The session's first program starts its services (the tray among them): not a tick's cost.
            warm = desktop.spawn(bare)
            time.sleep(8)
            desktop.end(warm)
            for name, cmd, settings in cases:
                if args.only in (None, name):
                    account(desktop, server, name, cmd, settings, args.seconds, out_dir, args.profile)
        finally:
            desktop.watcher = None
            desktop.close()


if __name__ == "__main__":
    main()
