"""pellumin.exe sampling the host's disk under Wine: Scroll Lock flashes with
disk writes and reads, for at most a second; the first sample loads the
Settings window (which rewrites a stale Run entry); a refused second copy
never samples; a counter lost is told in a box. Also the disk rate
sources themselves, through the test host."""

import os
import re
import shutil
import subprocess
import tempfile

import pytest

from wine import HOLD_S, RUN_KEY, fields, locks_agree, wait_until, win_path, write_bursts, writing

SCROLL = 145


def scroll_presses(w, since):
    return [k for k in w.keys()[since:] if k.vk == SCROLL and not k.up]


@pytest.fixture
def run_entry(desktop):
    """The Run entry named pellumin (conftest removes it after each test)."""
    return lambda: desktop.reg_value(RUN_KEY, "pellumin")


def read_burst(path, blocks=25000):
    """Direct reads: here some 25,000 transfers a second, far beyond the longest flash."""
    subprocess.run(["dd", f"if={path}", "of=/dev/null", "bs=4k", f"count={blocks}", "iflag=direct"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)


def test_disk_bursts_flash_scroll_lock_in_pairs_for_at_most_a_second(pellumin, desktop):
    w = desktop.watcher
    big = os.path.join(desktop.tmp, "big")
    subprocess.run(["dd", "if=/dev/zero", f"of={big}", "bs=1M", "count=100", "conv=fsync"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)
    # Between flashes: whole pulses of three events, the sweep's six then two a flash (an
    # even count of presses also holds between a pulse's first release and its press).
    def between_flashes():  # the count and the start of this test's keys from one read
        keys = w.keys()
        return len([k for k in keys[pellumin.before:] if k.vk == SCROLL]) % 6 == 0 and (len(keys), w.state().locks)
    before, locks = wait_until(between_flashes, HOLD_S, "no flash in progress")
    write_bursts(os.path.join(desktop.tmp, "scratch"))
    read_burst(big)
    wait_until(lambda: len(scroll_presses(w, before)) >= 2, HOLD_S, "a flash")
    # The disk is never quite idle: wait for a moment between two flashes.
    def flash_over():  # an even count of presses, and the last pulse's closing release logged
        scroll = [k for k in w.keys()[pellumin.before:] if k.vk == SCROLL]
        return sum(not k.up for k in scroll) % 2 == 0 and scroll[-1].up
    wait_until(flash_over, HOLD_S, "the last flash to end")
    keys = [k for k in w.keys()[before:] if k.vk == SCROLL]
    keys = keys[:len(keys) - len(keys) % 3]  # the next flash may have begun
    assert [k.up for k in keys] == [True, False, True] * (len(keys) // 3), "pulses: release, press, release"
    presses = [k.t for k in keys if not k.up]
    holds = [b - a for a, b in zip(presses[::2], presses[1::2])]
    # A second of sleep, and whatever a busy host adds before the hook logs it.
    assert holds and min(holds) >= 0 and max(holds) < 1500, holds
    wait_until(lambda: locks_agree(w, w.keys()[before:], locks), HOLD_S, f"the locks as before ({locks})")


@pytest.fixture
def decimal_comma(desktop):
    """A comma as the user's decimal separator, for programs started from now on."""
    key = r"HKCU\Control Panel\International"
    desktop.reg("add", key, "/v", "sDecimal", "/t", "REG_SZ", "/d", ",", "/f")
    yield
    desktop.reg("add", key, "/v", "sDecimal", "/t", "REG_SZ", "/d", ".", "/f")


def test_settings_window_shows_the_latest_rate_with_the_users_separator(decimal_comma, pellumin, desktop):
    # Until stopped: 50 bursts take well under a second here, and a quiet disk reads 0.
    with writing(os.path.join(desktop.tmp, "scratch"), 10**6):
        shown = desktop.probe("form", "Settings", HOLD_S * 1000)
        assert shown["visible"] == "0", "the first sample loads it hidden"
        rate = wait_until(lambda: re.fullmatch(r"\d+\D\d+", desktop.probe("form", "Settings", 1000).get("text", "")),
                          HOLD_S, "a rate with a fraction").group()
        assert "," in rate and "." not in rate, rate


@pytest.mark.parametrize("type_, data", [("REG_SZ", r"C:\Old place\pellumin.exe"), ("REG_DWORD", "1"), (None, None)],
                         ids=["REG_SZ", "REG_DWORD", "none"])
def test_first_sample_rewrites_a_stale_run_entry(desktop, run_entry, type_, data):
    # From a folder whose name the ANSI code page holds but ASCII does not: the
    # entry must come back in those letters, not in another code page's.
    folder = os.path.join(desktop.tmp, "Gr\u00f6\u00dfe")
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(desktop.bin_dir, "pellumin.exe"), folder)
    if type_:
        desktop.reg("add", RUN_KEY, "/v", "pellumin", "/t", type_, "/d", data, "/f")
    proc = desktop.spawn(os.path.join(folder, "pellumin.exe"))
    try:
        assert desktop.probe("form", "Settings", HOLD_S * 1000), "the first sample loads the Settings window"
        if type_:
            want = ("REG_SZ", win_path(folder) + "\\pellumin.exe")
            wait_until(lambda: run_entry() == want, HOLD_S, f"the entry rewritten, still {run_entry()}")
        else:
            assert run_entry() is None
    finally:
        desktop.end(proc)
        desktop.watcher.wait_state(lambda s: s.tray == 0, 10, "the tray icon to go")


def test_refused_copy_elsewhere_leaves_the_run_entry_and_the_instance_lock_alone(pellumin, desktop, run_entry):
    w, mine = desktop.watcher, ("REG_SZ", win_path(desktop.bin_dir) + "\\pellumin.exe")
    desktop.reg("add", RUN_KEY, "/v", "pellumin", "/t", "REG_SZ", "/d", mine[1], "/f")
    copy_dir = os.path.join(desktop.tmp, "copy")
    os.makedirs(copy_dir, exist_ok=True)
    shutil.copy(os.path.join(desktop.bin_dir, "pellumin.exe"), copy_dir)
    with writing(os.path.join(desktop.tmp, "scratch"), 50):
        before = len(w.keys())
        second = desktop.spawn(os.path.join(copy_dir, "pellumin.exe"))
        assert desktop.probe("box", "Norvane Pellumin", 10000) == {
            "caption": "Norvane Pellumin", "text": "Norvane Pellumin is already running!", "buttons": "1:OK",
            "icon": "none"}
        # A sampling copy would load its own Settings window within a tick and
        # rewrite the entry with its own path; give it a second to try.
        with pytest.raises(AssertionError):
            wait_until(lambda: run_entry() != mine, 1, "the entry to change")
        assert not [k for k in w.keys()[before:] if k.vk != 145], "a sweep from the refused copy"
        # Nor does it keep the single-instance lock: with its box still open,
        # the first copy ends and the next start is let in.
        desktop.end(pellumin.proc)
        w.wait_state(lambda s: s.tray == 0, HOLD_S, "the first copy's icon to go")
        desktop.spawn(f"{desktop.bin_dir}/pellumin.exe")
        got = w.wait_state(lambda s: s.tray > 0 or s.boxes > 1, 15, "a tray icon or a second box")
        assert (got.tray, got.boxes, second.poll()) == (1, 1, None), "the next start refused"
        assert desktop.probe("box", "Norvane Pellumin", 5000, "click")
        second.wait(timeout=10)


def whole_disks():
    """The host's disks with hardware behind them, not loop, ram or zram devices."""
    return sorted(n for n in os.listdir("/sys/block") if "/devices/virtual/" not in os.path.realpath(f"/sys/block/{n}"))


def test_a_lost_counter_is_told_in_a_warning_box(desktop):
    # Under Wine the counter is each whole disk's Z:\sys\block\<disk>\stat,
    # kept open. Started from a Z: of the test's own, pellumin keeps copies
    # open, which are then emptied.
    w, root = desktop.watcher, tempfile.mkdtemp(dir=desktop.tmp)
    for disk in whole_disks():
        os.makedirs(os.path.join(root, "sys", "block", disk, "device"))
        shutil.copyfile(f"/sys/block/{disk}/stat", os.path.join(root, "sys", "block", disk, "stat"))
    shutil.copy(os.path.join(desktop.bin_dir, "pellumin.exe"), root)
    z = os.path.join(desktop.env["WINEPREFIX"], "dosdevices", "z:")
    was = os.readlink(z)
    os.remove(z)
    os.symlink(root, z)
    try:
        proc = desktop.spawn(os.path.join(root, "pellumin.exe"))
        w.wait_state(lambda s: s.tray > 0, 15, "the tray icon: the counter is open by then")
    finally:
        os.remove(z)
        os.symlink(was, z)
    for disk in whole_disks():
        open(os.path.join(root, "sys", "block", disk, "stat"), "w").close()
    box = desktop.probe("box", "Norvane Pellumin", HOLD_S * 1000)
    text, lead = box.pop("text", ""), "Run-time error: Z:\\sys\\block holds no readable stat line for any of the disks "
    assert text.startswith(lead) and sorted(text[len(lead):].split(", ")) == whole_disks(), (text, box)
    assert box == {"caption": "Norvane Pellumin", "buttons": "1:OK", "icon": "exclamation"}
    desktop.end(proc)
    w.wait_state(lambda s: s.tray == 0, 10, "the tray icon to go")


@pytest.mark.parametrize("args, want", [
    (["pdh", r"\Processor(_Total)\% Processor Time", "3"], "value"),
    (["pdh", r"\PhysicalDisk(_Total)\Disk Transfers/sec", "1"], "no such counter"),  # Wine has none
    (["sysblock", "3"], "value"),
], ids=["pdh-processor", "pdh-disk", "sysblock"])
def test_rate_sources_under_wine(desktop, args, want):
    code, out = desktop.run(os.path.join(desktop.bin_dir, "np_host.exe"), "source", *args)
    assert code == 0 and "wine=1" in out, out
    if want == "value":
        values = [float(line[6:]) for line in out.splitlines() if line.startswith("value=")]
        assert len(values) == int(args[-1]) and "error=" not in out, out
    else:
        assert want in out, out
    if args[0] == "sysblock":
        assert sorted(fields(out)["disks"].split(",")) == whole_disks(), out
