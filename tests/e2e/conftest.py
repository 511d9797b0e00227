"""The Wine suite's shared desktop and options."""

import os
import signal

from types import SimpleNamespace

import pytest

from wine import RUN_KEY, Desktop, describe, wait_until, wine_tree


def pytest_addoption(parser):
    parser.addoption("--bin-dir", help="the build holding pellumin.exe and np_host.exe (default: build/i686 where "
                                       "this machine runs 32-bit code, else build/x86_64)")
    parser.addoption("--artifacts", help="where screenshots and logs go (default: pytest's temporary folder)")


def pytest_configure(config):
    given = config.getoption("--bin-dir")
    config.bin_dir, config.bin_dir_why = (os.path.abspath(given), "as --bin-dir says") if given else wine_tree()
    # A kill from ctest's timeout becomes an interrupt, so the desktop is still torn down.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    config.addinivalue_line("markers", "restarts_wine: restarts the wineserver, so runs after all others")


def pytest_report_header(config):
    return describe(config.bin_dir, config.bin_dir_why)


def pytest_collection_modifyitems(items):
    # A server restart ends every program and resets the lock states.
    items.sort(key=lambda item: item.get_closest_marker("restarts_wine") is not None)


@pytest.fixture(scope="session")
def artifacts(request, tmp_path_factory):
    path = request.config.getoption("--artifacts")
    return os.path.abspath(path) if path else str(tmp_path_factory.mktemp("artifacts"))


@pytest.fixture(scope="session")
def desktop(request, artifacts):
    d = Desktop(request.config.bin_dir, artifacts)
    yield d
    d.close()


# A program left running (a refused copy's box, say) would take the next tests down with it.
@pytest.fixture(autouse=True, scope="module")
def ends_what_the_module_started(desktop):
    with desktop.ending_new():
        yield


@pytest.fixture(autouse=True)
def ends_what_the_test_started(desktop):
    """Also removes pellumin's Run entry, which a failing test may leave behind."""
    with desktop.ending_new():
        yield
    if desktop.reg_value(RUN_KEY, "pellumin"):
        desktop.reg("delete", RUN_KEY, "/v", "pellumin", "/f")


@pytest.fixture
def pellumin(desktop):
    """A fresh start of pellumin.exe; afterwards it and all the test started are
    ended and the lock states put back (it may end mid-flash)."""
    w = desktop.watcher
    found, before = w.state().locks, len(w.keys())
    with desktop.ending_new():
        proc = desktop.spawn(f"{desktop.bin_dir}/pellumin.exe")
        wait_until(lambda: w.state().tray > 0, 15, "the tray icon")
        yield SimpleNamespace(proc=proc, before=before)
    w.wait_state(lambda s: s.tray == 0, 10, "the tray icon to go")
    if w.state().locks != found:
        desktop.probe("toggle", *[vk for vk, a, b in zip((144, 20, 145), w.state().locks, found) if a != b])
    w.wait_state(lambda s: s.locks == found, 5, "the lock states found")


@pytest.fixture
def link_log(desktop):
    """A logging script of ours as Wine's browser and mailer; yields the path of its log."""
    log, script = os.path.join(desktop.tmp, "links.log"), os.path.join(desktop.tmp, "log-link.sh")
    if os.path.exists(log):
        os.remove(log)
    with open(script, "w") as f:
        f.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{log}"\n')
    os.chmod(script, 0o755)
    key = r"HKCU\Software\Wine\WineBrowser"
    for value in ("Browsers", "Mailers"):
        desktop.reg("add", key, "/v", value, "/t", "REG_SZ", "/d", script, "/f")
    yield log
    for value in ("Browsers", "Mailers"):
        desktop.reg("delete", key, "/v", value, "/f")
