"""The journeys a user makes through the tray menu of pellumin.exe, driven with
xdotool on Wine's tray icon and keys in the menu, watched from outside."""

import os
import subprocess
import threading

import pytest

from wine import wait_until, win_path

RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
LOCKS = (144, 20, 145)
ABOUT, SETTINGS, EXIT = 1, 2, 3  # Down presses: the separator is skipped


def xdotool(desktop, *args):
    subprocess.run(["xdotool", *map(str, args)], env=desktop.env, check=True, timeout=10)


def icon_centre(desktop):
    icon = desktop.probe("tray", 5000)["icon"].split(" ")[0]
    left, top, right, bottom = map(int, icon.split(","))
    return (left + right) // 2, (top + bottom) // 2


def pick(desktop, downs):
    x, y = icon_centre(desktop)
    xdotool(desktop, "mousemove", x, y, "click", 3)
    got = desktop.probe("menu", 10000, downs)
    assert got.get("closed") == "1", got


def toggles(w, vk):
    return len([k for k in w.keys() if k.vk == vk and not k.up])


@pytest.fixture
def pellumin(desktop):
    w = desktop.watcher
    found = w.state().locks
    proc = desktop.spawn(f"{desktop.bin_dir}/pellumin.exe")
    wait_until(lambda: w.state().tray > 0, 15, "the tray icon")
    yield proc
    if proc.poll() is None:
        desktop.end(proc)
    w.wait_state(lambda s: s.tray == 0, 10, "the tray icon to go")
    if w.state().locks != found:
        desktop.probe("toggle", *[vk for vk, a, b in zip(LOCKS, w.state().locks, found) if a != b])
    w.wait_state(lambda s: s.locks == found, 5, "the lock states found")
    if desktop.reg_value(RUN_KEY, "pellumin"):
        desktop.reg("delete", RUN_KEY, "/v", "pellumin", "/f")


def test_press_opens_nothing_release_opens_the_menu(pellumin, desktop):
    x, y = icon_centre(desktop)
    xdotool(desktop, "mousemove", x, y, "mousedown", 3)
    assert desktop.probe("menu", 1000) == {}, "a menu on the press"
    xdotool(desktop, "mouseup", 3)
    left, top, width, height = map(int, desktop.probe("menu", 5000)["menu"].split(","))
    assert abs(left - x) <= 2 and top >= y - height - 2, "left edge at the pointer"
    desktop.screenshot("tray-menu.png")
    assert desktop.probe("menu", 5000, 0)["closed"] == "1", "Escape dismisses it"
    assert pellumin.poll() is None and desktop.watcher.state().tray == 1


def test_settings_shows_the_rate_and_the_box_tells_the_truth(pellumin, desktop):
    pick(desktop, SETTINGS)
    shown = desktop.probe("form", "Settings", 5000)
    assert shown["visible"] == "1" and float(shown["text"]) >= 0
    desktop.screenshot("settings.png")
    assert desktop.probe("click", "Settings")["checked"] == "1"
    assert desktop.reg_value(RUN_KEY, "pellumin") == ("REG_SZ", win_path(desktop.bin_dir) + "\\pellumin.exe")
    assert desktop.probe("click", "Settings")["checked"] == "0"
    assert desktop.reg_value(RUN_KEY, "pellumin") is None
    assert desktop.probe("click", "Settings")["checked"] == "1"
    pick(desktop, SETTINGS)
    assert desktop.probe("form", "Settings", 5000)["hwnd"] == shown["hwnd"], "one Settings window"
    assert desktop.probe("close", "Settings", 5000) == {"gone": "1"}
    # The next sample makes it again, hidden; the menu shows it, still ticked.
    desktop.probe("form", "Settings", 5000, shown["hwnd"])
    pick(desktop, SETTINGS)
    again = desktop.probe("form", "Settings", 5000)
    assert (again["visible"], again["checked"]) == ("1", "1")


def test_exit_removes_the_icon_then_sweeps_back_and_ends(pellumin, desktop):
    w = desktop.watcher
    locks = wait_until(lambda: toggles(w, 145) % 2 == 0 and w.state().locks, 5, "no flash in progress")
    before = len(w.keys())
    pick(desktop, EXIT)
    pellumin.wait(timeout=10)
    gone = next(s for s in w.entries() if s.kind == "state" and s.tray == 0 and s.line > w.keys()[before - 1].line)
    sweep = [k for k in w.keys()[before:] if k.vk in (144, 20)]
    assert sweep and gone.line < sweep[0].line, "the icon goes before the sweep"
    order = [k.vk for k in w.keys()[before:] if not k.up and k.line > gone.line]
    assert order[-12:] == [20] * 6 + [144] * 6 and 145 in order[:-12], "Scroll, Caps, Num"
    assert w.wait_state(lambda s: s.locks == locks, 5, "the locks as before").locks == locks
    assert desktop.probe("form", "Settings", 0) == {}


def test_a_whole_session_under_disk_writes_leaves_every_lock_even(desktop):
    w = desktop.watcher
    locks, start = w.state().locks, len(w.keys())
    stop = threading.Event()

    def writes():
        scratch = os.path.join(desktop.tmp, "scratch")
        while not stop.is_set():
            subprocess.run(["dd", "if=/dev/zero", f"of={scratch}", "bs=4k", "count=2", "oflag=direct", "conv=fsync"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
            stop.wait(0.05)  # about 20 synced writes a second

    writer = threading.Thread(target=writes)
    writer.start()
    try:
        proc = desktop.spawn(f"{desktop.bin_dir}/pellumin.exe")
        wait_until(lambda: w.state().tray > 0, 15, "the tray icon")
        pick(desktop, SETTINGS)
        assert desktop.probe("click", "Settings")["checked"] == "1"
        assert desktop.probe("click", "Settings")["checked"] == "0"
        pick(desktop, EXIT)
        proc.wait(timeout=15)
    finally:
        stop.set()
        writer.join(timeout=30)
    def presses():
        return {vk: len([k for k in w.keys()[start:] if k.vk == vk and not k.up]) for vk in LOCKS}
    # The hook log may trail the process's end by a moment.
    wait_until(lambda: all(n % 2 == 0 for n in presses().values()), 5, f"even toggle counts, not {presses()}")
    assert w.wait_state(lambda s: s.locks == locks, 5, "the locks as before").locks == locks
