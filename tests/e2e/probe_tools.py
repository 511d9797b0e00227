"""Driving np_probe.exe from Python, and reading what its watcher logs.

API (python3 stdlib only):

    from probe_tools import Watcher, find_box, tray_icons, toggle_locks, sweep_problems

    w = Watcher(ws, probe_exe, log_path)   # starts `np_probe watch`, waits for "ready"
    w.keys(injected_only=True)             # [KeyEvent] in log order
    w.states()                             # [State] (tray icons, open boxes, locks)
    w.wait_state(pred, timeout, what)      # first State (after `since`) matching pred
    w.stop()                               # clean stop through the stop file
    find_box(ws, probe_exe, title, timeout_s, click=False) -> dict or None
    tray_icons(ws, probe_exe, timeout_s) -> [dict(rect=(l, t, r, b), tip=str)]
    toggle_locks(ws, probe_exe, *vks)      # press+release each key once
    sweep_problems(keys, order) -> [str]   # empty when keys are one LED sweep

Times: KeyEvent.t and State.t are the probe's monotonic clock in ms (the hook
callback's or the poll's moment); KeyEvent.time is the event's own stamp, set
when it was injected, in whole ms on the same clock.
"""

import os
from dataclasses import dataclass

from wine_session import WaitTimeout, win_path

WM_KEYDOWN, WM_KEYUP = 0x100, 0x101
FLAG_INJECTED, FLAG_UP = 0x10, 0x80
LOCK_BIT = {144: 0, 20: 1, 145: 2}  # position in the "locks" field: Num, Caps, Scroll


@dataclass
class KeyEvent:
    t: float
    vk: int
    scan: int
    flags: int
    extra: int
    msg: int
    time: int
    locks: str  # lock states this event found, before it took effect
    line: int   # line number in the log

    @property
    def is_release(self):
        return bool(self.flags & FLAG_UP)


@dataclass
class State:
    t: float
    tray: int
    boxes: int
    locks: str
    line: int


def _fields(text):
    return dict(part.split("=", 1) for part in text.split()[1:] if "=" in part)


def parse_log(text):
    keys, states = [], []
    for n, line in enumerate(text.splitlines()):
        kind = line.split(" ", 1)[0]
        f = _fields(line)
        if kind == "key":
            keys.append(KeyEvent(float(f["t"]), int(f["vk"]), int(f["scan"]),
                                 int(f["flags"], 16), int(f["extra"]), int(f["msg"], 16),
                                 int(f["time"]), f["locks"], n))
        elif kind in ("ready", "state"):
            states.append(State(float(f["t"]), int(f["tray"]), int(f["boxes"]), f["locks"], n))
    return keys, states


class Watcher:
    def __init__(self, ws, probe_exe, log_path, ready_timeout=15):
        self.ws, self.probe_exe, self.log_path = ws, probe_exe, log_path
        for path in (log_path, log_path + ".stop"):
            if os.path.exists(path):
                os.remove(path)
        self.proc = ws.spawn(probe_exe, "watch", win_path(log_path))
        ws.wait_until(lambda: self.text().startswith("ready") or self.proc.poll() is not None,
                      ready_timeout, "the key watcher to be ready")
        if not self.text().startswith("ready"):
            raise RuntimeError(f"watcher failed: {self.text()!r}")

    def text(self):
        try:
            with open(self.log_path) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def keys(self, injected_only=True):
        keys = parse_log(self.text())[0]
        return [k for k in keys if k.flags & FLAG_INJECTED] if injected_only else keys

    def states(self):
        return parse_log(self.text())[1]

    def wait_state(self, pred, timeout, what, since=-1):
        def match():
            return next((s for s in self.states() if s.line > since and pred(s)), None)
        return self.ws.wait_until(match, timeout, what)

    def stop(self, timeout=10):
        if self.proc.poll() is None:
            open(self.log_path + ".stop", "w").close()
            self.ws.wait_exit(self.proc, timeout, "the key watcher to stop")
            os.remove(self.log_path + ".stop")
        return self.proc.returncode


def _probe_fields(stdout):
    return dict(line.split("=", 1) for line in stdout.splitlines() if "=" in line)


def find_box(ws, probe_exe, title, timeout_s, click=False):
    """The open message box with this title: caption, text, buttons, icons, clicked."""
    args = ["findbox", title, str(int(timeout_s * 1000))] + (["click"] if click else [])
    r = ws.run(probe_exe, *args, timeout=timeout_s + 30)
    fields = _probe_fields(r.stdout)
    return fields if fields.get("found") == "1" else None


def tray_icons(ws, probe_exe, timeout_s):
    r = ws.run(probe_exe, "tray", str(int(timeout_s * 1000)), timeout=timeout_s + 30)
    icons = []
    for line in r.stdout.splitlines():
        if line.startswith("icon "):
            rect, tip = line[len("icon rect="):].split(" tip=", 1)
            icons.append({"rect": tuple(int(v) for v in rect.split(",")), "tip": tip})
    return icons


def toggle_locks(ws, probe_exe, *vks):
    r = ws.run(probe_exe, "toggle", *(str(vk) for vk in vks), timeout=30)
    if r.returncode != 0:
        raise RuntimeError(f"np_probe toggle failed: {r.stdout}{r.stderr}")


def sweep_problems(keys, order):
    """What is wrong with `keys` as a sweep (six release/press/release pulses per
    key in `order`, each key toggled by every press); empty when nothing is."""
    expected = [(vk, up) for vk in order for _ in range(6) for up in (True, False, True)]
    got = [(k.vk, k.is_release) for k in keys]
    if got != expected:
        return [f"sequence is {_describe(got)}, expected {_describe(expected)}"]
    problems = []
    for i, k in enumerate(keys):
        want_flags, want_msg = (0x90, WM_KEYUP) if k.is_release else (0x10, WM_KEYDOWN)
        if (k.flags, k.scan, k.extra, k.msg) != (want_flags, 0, 0, want_msg):
            problems.append(f"event {i + 1}: flags 0x{k.flags:02x} scan {k.scan} extra "
                            f"{k.extra} msg 0x{k.msg:x}")
    problems += _toggle_problems(keys)
    return problems


def _toggle_problems(keys):
    # Each release finds the state the pulses before it left, so the lock of
    # its key must have flipped once per earlier press of that key.
    problems = []
    start = keys[0].locks
    for i in range(0, len(keys), 3):
        k = keys[i]
        bit = LOCK_BIT[k.vk]
        presses = sum(1 for p in keys[:i] if p.vk == k.vk and not p.is_release)
        want = str(int(start[bit]) ^ (presses & 1))
        if k.locks[bit] != want:
            problems.append(f"pulse {i // 3 + 1} (vk {k.vk}) found lock {k.locks[bit]}, "
                            f"expected {want}")
    return problems


def _describe(pairs):
    """Pulses as "vk:udu" (release, press, release), runs of equal ones counted."""
    tokens = []
    for i in range(0, len(pairs), 3):
        chunk = pairs[i:i + 3]
        vks = {vk for vk, _ in chunk}
        order = "".join("u" if up else "d" for _, up in chunk)
        tokens.append(f"{chunk[0][0]}:{order}" if len(vks) == 1 else
                      "/".join(f"{vk}:{'u' if up else 'd'}" for vk, up in chunk))
    runs = []
    for tok in tokens:
        if runs and runs[-1][0] == tok:
            runs[-1][1] += 1
        else:
            runs.append([tok, 1])
    return " ".join(f"{tok} x{n}" if n > 1 else tok for tok, n in runs) or "nothing"
