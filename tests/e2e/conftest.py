"""The Wine suite's shared desktop and options."""

import os
import signal

import pytest

from wine import Desktop


def pytest_addoption(parser):
    parser.addoption("--bin-dir", required=True, help="x86_64 build holding pellumin.exe, np_probe.exe, np_host.exe")
    parser.addoption("--artifacts", help="where screenshots and logs go (default: pytest's temporary folder)")


def pytest_configure(config):
    # A kill from ctest's timeout becomes an interrupt, so the desktop is still torn down.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    config.addinivalue_line("markers", "restarts_wine: restarts the wineserver, so runs after all others")


def pytest_collection_modifyitems(items):
    # A server restart ends every program and resets the lock states.
    items.sort(key=lambda item: item.get_closest_marker("restarts_wine") is not None)


@pytest.fixture(scope="session")
def artifacts(request, tmp_path_factory):
    path = request.config.getoption("--artifacts")
    return os.path.abspath(path) if path else str(tmp_path_factory.mktemp("artifacts"))


@pytest.fixture(scope="session")
def desktop(request, artifacts):
    d = Desktop(os.path.abspath(request.config.getoption("--bin-dir")), artifacts)
    yield d
    d.close()
