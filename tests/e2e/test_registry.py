"""The Registry module on the real Win32 backend (np_host reg) against Wine's
registry, read and written with Wine's own `reg`."""

import os

import pytest

from wine import win_path

SUB_KEY = r"SOFTWARE\NorvaneE2E"
KEY = "HKLM\\" + SUB_KEY
UNTOUCHED = {"type": "5", "value": "0"}  # what the host puts in before a read


@pytest.fixture(scope="module")
def scratch(desktop):
    desktop.reg("add", KEY, "/f")
    yield desktop
    desktop.reg("delete", KEY, "/f")


def host(desktop, *args):
    return desktop.host("reg", args[0], SUB_KEY, *args[1:])


# Strings are stored ANSI with their NUL and read back whole: text, NUL, filler.
WRITES = [
    ("Text", ["sz", "Norvane test 1"], ("REG_SZ", "Norvane test 1"), "Norvane test 1\\u0000 "),
    ("Empty", ["sz", ""], ("REG_SZ", ""), "\\u0000 "),
    ("Umlauts", ["sz", "Gr\\u00f6\\u00dfe"], ("REG_SZ", "Größe"), "Gr\\u00f6\\u00dfe\\u0000 "),
    ("I2", ["i2", "-1"], ("REG_DWORD", "0xffffffff"), "-1"),
    ("I4", ["i4", "305419896"], ("REG_DWORD", "0x12345678"), "305419896"),
    ("R8", ["r8", "1.5"], None, None),
    ("Bool", ["bool"], None, None),
    ("EmptyVariant", ["empty"], None, None),
]


@pytest.mark.parametrize("name, data, stored, read_back", WRITES, ids=[w[0] for w in WRITES])
def test_write_then_read_back(scratch, name, data, stored, read_back):
    assert host(scratch, "write", name, *data) == {"status": "0"}
    assert scratch.reg_value(KEY, name) == stored
    got = host(scratch, "read", name)
    if stored is None:
        assert got == {"status": "2", **UNTOUCHED}
    else:
        assert (got["status"], got["value"]) == ("0", read_back)


READS = [
    ("Ten", ["REG_SZ", "0123456789"], {"status": "0", "type": "8", "value": "0123456789\\u0000 "}),
    ("Number", ["REG_DWORD", "305419896"], {"status": "0", "type": "3", "value": "305419896"}),
    ("Expand", ["REG_EXPAND_SZ", "%SystemRoot%"], {"status": "0", **UNTOUCHED}),
    ("Wide", "hex(4):01,02,03,04,05,06,07,08", {"status": "234", **UNTOUCHED}),  # ERROR_MORE_DATA
    ("NoSuchValue", None, {"status": "2", **UNTOUCHED}),
]


@pytest.mark.parametrize("name, setup, want", READS, ids=[r[0] for r in READS])
def test_read_value_made_outside(scratch, artifacts, name, setup, want):
    if isinstance(setup, str):  # a shape neither the module nor `reg add` makes
        path = os.path.join(artifacts, "wide.reg")
        with open(path, "w") as f:
            f.write(f'Windows Registry Editor Version 5.00\n\n[{KEY.replace("HKLM", "HKEY_LOCAL_MACHINE")}]\n'
                    f'"{name}"={setup}\n')
        scratch.reg("import", win_path(path))
    elif setup:
        scratch.reg("add", KEY, "/v", name, "/t", setup[0], "/d", setup[1], "/f")
    assert host(scratch, "read", name) == want


@pytest.mark.parametrize("args", [["read"], ["write", "sz", "x"], ["delete"]], ids=lambda a: a[0])
def test_missing_key_is_reported_not_made(scratch, args):
    assert scratch.host("reg", args[0], SUB_KEY + r"\Missing", "Value", *args[1:])["status"] == "2"
    assert scratch.reg("query", KEY + r"\Missing")[0] != 0


def test_delete_removes_only_its_value(scratch):
    for name in ("Doomed", "Kept"):
        scratch.reg("add", KEY, "/v", name, "/d", name, "/f")
    assert host(scratch, "delete", "Doomed") == {"status": "0"}
    assert (scratch.reg_value(KEY, "Doomed"), scratch.reg_value(KEY, "Kept")) == (None, ("REG_SZ", "Kept"))
    assert host(scratch, "delete", "Doomed") == {"status": "0"}
