"""The Settings window at 120 dpi: its layout scales with the screen."""

import pytest

DPI_KEY = r"HKCU\Control Panel\Desktop"


@pytest.fixture
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
