"""pellumin.exe under Wine, watched from outside: the greeting sweep, the tray
icon, the lock states kept, the icon back after a shell restart. From the first tick on, disk activity
flashes Scroll Lock, so only Num and Caps Lock events tell a sweep apart."""

import subprocess
from types import SimpleNamespace

import pytest

from wine import HOLD_S, locks_agree, wait_until

SWEEP = (144, 20, 145)  # Num, Caps, Scroll Lock
START_LOCKS = "101"  # one lock on, one off: both kinds of start state
PRESSES_PER_KEY = 6
EVENTS_PER_PULSE = 3  # release, press, release: the key is left up
SWEEP_EVENTS = EVENTS_PER_PULSE * PRESSES_PER_KEY * len(SWEEP)


def flip(now, want):
    return [vk for vk, x, y in zip(SWEEP, now, want) if x != y]


@pytest.fixture(scope="module")
def started(desktop):
    """One start of pellumin.exe from START_LOCKS: the process and its injected key events."""
    w = desktop.watcher
    found = w.state().locks
    desktop.probe("toggle", *flip(found, START_LOCKS))
    w.wait_state(lambda s: s.locks == START_LOCKS, 5, "the start lock states")
    before = len(w.keys())
    proc = desktop.spawn(f"{desktop.bin_dir}/pellumin.exe")
    # A short sweep is reported by the checks, not as a timeout here.
    wait_until(lambda: w.state().tray > 0, 15, "the tray icon")
    yield SimpleNamespace(proc=proc, keys=w.keys()[before:], before=before)
    desktop.end(proc)
    w.wait_state(lambda s: s.tray == 0, 10, "the tray icon to go")
    desktop.probe("toggle", *flip(w.state().locks, found))
    w.wait_state(lambda s: s.locks == found, 5, "the lock states found")


def test_sweep_blinks_each_lock_in_turn(started):
    keys = started.keys[:SWEEP_EVENTS]
    got = [(k.vk, k.up) for k in keys]
    want = [(vk, up) for vk in SWEEP for _ in range(PRESSES_PER_KEY) for up in (True, False, True)]
    assert got == want
    assert {(k.flags & ~0x80, k.scan, k.extra) for k in keys} == {(0x10, 0, 0)}
    assert all(k.msg == (0x101 if k.up else 0x100) for k in keys)


def test_one_tray_icon_with_tip_and_image(started, desktop):
    icons = [v for k, v in desktop.probe("tray", 5000).items() if k == "icon"]
    assert [i.split(" ", 1)[1] for i in icons] == ["Norvane Pellumin v1.0"]
    left, top, right, bottom = map(int, icons[0].split(" ")[0].split(","))
    crop = f"{right - left}x{bottom - top}+{left}+{top}"

    def colours():
        shot = desktop.screenshot("tray.png")
        out = subprocess.run(["convert", shot, "-crop", crop, "+repage", "-format", "%k", "info:"],
                             capture_output=True, text=True, check=True, timeout=30).stdout
        return int(out or 0) > 1
    # An icon may be shown a moment before it is painted.
    wait_until(colours, 3, "the icon to be painted", interval=0.2)


def test_locks_end_as_they_began(started, desktop):
    w = desktop.watcher
    wait_until(lambda: locks_agree(w, w.keys()[started.before:], START_LOCKS), HOLD_S, f"the start lock states {START_LOCKS}")


def test_icon_comes_back_when_the_shell_restarts(started, desktop):
    w = desktop.watcher
    assert desktop.probe("untray"), "pellumin's icon could not be removed"
    w.wait_state(lambda s: s.tray == 0, HOLD_S, "the icon to go")
    assert desktop.probe("taskbar-created") == {"sent": "1"}
    w.wait_state(lambda s: s.tray == 1, HOLD_S, "the icon to come back")
    assert [v.split(" ", 1)[1] for k, v in desktop.probe("tray", 2000).items() if k == "icon"] == [
        "Norvane Pellumin v1.0"]
