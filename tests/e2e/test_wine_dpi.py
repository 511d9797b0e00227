"""The Settings and About windows at 120 dpi: their layout scales with the
screen, the About window's banner and line width do not."""

import pytest

from test_about import AT_120, check_at_rest, hosted_about, link_states
from wine import wait_until

DPI_KEY = r"HKCU\Control Panel\Desktop"


@pytest.fixture(scope="module")
def dpi_120(desktop):
    desktop.reg("add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "120", "/f")
    desktop.restart_server()
    yield
    desktop.reg("delete", DPI_KEY, "/v", "LogPixels", "/f")
    desktop.restart_server()


@pytest.mark.restarts_wine
def test_settings_layout_scales_at_120_dpi(desktop, dpi_120):
    proc = desktop.spawn(f"{desktop.bin_dir}/np_host.exe", "settings")
    try:
        shown = desktop.probe("form", "Settings", 10000)
    finally:
        desktop.end(proc)
    # 12 twips a pixel, halves rounded up: 2310 twips are 192.5 px.
    assert [shown.get(k) for k in ("client", "check", "edit")] == ["193,113", "20,20,161,31", "10,70,171,24"]


@pytest.mark.restarts_wine
def test_about_layout_scales_at_120_dpi(desktop, dpi_120):
    with hosted_about(desktop, AT_120) as about:
        check_at_rest(desktop, about, desktop.screenshot("about-120dpi.png"))
        # Each link takes the highlight at its corners and not a pixel beyond them.
        for n, (left, top, width, height) in enumerate(AT_120.links):
            right, bottom, lit = left + width - 1, top + height - 1, ["H" if i == n else "B" for i in (0, 1)]
            for inside, outside in (((left, top), (left - 1, top - 1)), ((right, bottom), (right + 1, bottom)),
                                    ((right, bottom), (right, bottom + 1))):
                for (x, y), want in ((inside, lit), (outside, ["B", "B"])):
                    desktop.xdotool("mousemove", about.origin[0] + x, about.origin[1] + y)
                    wait_until(lambda: link_states(desktop, about) == want, 10, f"links {want} at {x},{y}")
