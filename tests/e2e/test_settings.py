"""The Settings window on the real Win32 backend, hosted by np_host: layout,
look, and the autorun box against Wine's registry."""

import os
from types import SimpleNamespace

import pytest

from wine import RUN_KEY, wait_until, win_path


@pytest.fixture(scope="module")
def host(desktop):
    out = os.path.join(desktop.artifacts, "host.out")
    proc = desktop.spawn(f"{desktop.bin_dir}/np_host.exe", "settings", stdout=out)
    shown = desktop.probe("form", "Settings", 10000)
    yield SimpleNamespace(proc=proc, shown=shown, report=out)
    desktop.end(proc)
    if entry(desktop):
        desktop.reg("delete", RUN_KEY, "/v", "np_host", "/f")


def entry(desktop):
    return desktop.reg_value(RUN_KEY, "np_host")


# At 96 dpi, 15 twips a pixel.
@pytest.mark.parametrize("field, want", [
    ("visible", "1"),
    ("client", "154,90"),  # 2310 x 1350 twips
    ("frame", "close"),  # fixed border: no sizing, no min/max box
    ("check", "16,16,129,25"),
    ("edit", "8,56,137,19"),
    ("first_tab", "check"),
    ("tip", "Current Harddisc Activities Rate"),
    ("checked", "0"),  # no entry
])
def test_window_as_opened(host, field, want):
    assert host.shown.get(field) == want, host.shown


def test_window_centred_on_screen(host):
    screen = [int(v) for v in host.shown["screen"].split(",")]
    left, top, width, height = (int(v) for v in host.shown["window"].split(","))
    assert abs(left - (screen[0] - width) / 2) <= 1 and abs(top - (screen[1] - height) / 2) <= 1, host.shown


def test_application_icon_loaded_16x16(host):
    report = wait_until(lambda: (text := open(host.report).read()).endswith("\n") and text, 5, "the host's report")
    assert report == "icon=16x16\n"


def test_text_put_into_the_rate_box_gives_way_to_the_next_write(host, desktop):
    # The host writes "0" whenever the box shows something else, as a sample does.
    assert desktop.probe("type", "Settings", "typed")["text"] == "typed"
    wait_until(lambda: desktop.probe("form", "Settings", 1000).get("text") == "0", 5, "the box written again")


def test_tick_writes_entry_and_untick_deletes_it(host, desktop):
    assert entry(desktop) is None
    assert desktop.probe("click", "Settings")["checked"] == "1"
    assert entry(desktop) == ("REG_SZ", win_path(desktop.bin_dir) + "\\np_host.exe")
    assert desktop.probe("click", "Settings")["checked"] == "0"
    assert entry(desktop) is None


@pytest.mark.parametrize("type_, data", [("REG_SZ", r"C:\Old place\np_host.exe"), ("REG_DWORD", "1")],
                         ids=["REG_SZ", "REG_DWORD"])
def test_entry_ticks_box_of_window_made_again(host, desktop, type_, data):
    desktop.reg("add", RUN_KEY, "/v", "np_host", "/t", type_, "/d", data, "/f")
    old = desktop.probe("form", "Settings", 5000)["hwnd"]
    assert desktop.probe("close", "Settings", 5000) == {"gone": "1"}
    # The host refers to the window again within 100 ms: it comes back hidden.
    again = desktop.probe("form", "Settings", 10000, old)
    assert (again.get("visible"), again.get("checked")) == ("0", "1")
    assert entry(desktop) == ("REG_SZ", win_path(desktop.bin_dir) + "\\np_host.exe")
    assert host.proc.poll() is None
