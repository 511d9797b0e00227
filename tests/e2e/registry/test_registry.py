#!/usr/bin/env python3
"""The Registry module with its Win32 backend against Wine's real registry.

Usage: test_registry.py <dir holding np_reg_tool.exe (x86_64 build)>
Prints one line per check and ends with "N passed, M failed".
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from wine_session import WineSession  # noqa: E402

RUN = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
SCRATCH = r"SOFTWARE\NorvaneE2E\Registry"
MISSING = r"SOFTWARE\NorvaneE2E\Missing"
TOOL_TIMEOUT_S = 30


def hklm(sub_key):
    return "HKLM\\" + sub_key


class Checks:
    def __init__(self, ws, tool):
        self.ws, self.tool = ws, tool
        self.passed = self.failed = 0

    def tool_run(self, *args):
        """Runs the tool; returns its output as a dict of the printed fields."""
        r = self.ws.run(self.tool, *args, timeout=TOOL_TIMEOUT_S)
        if r.returncode != 0:
            raise AssertionError(f"np_reg_tool {' '.join(args)} exited {r.returncode}: {r.stderr.strip()}")
        fields = {}
        for line in r.stdout.splitlines():
            words = line.split(" ")
            # "status 0" / "type 8 length 12 value ..." (the value is the rest of the line)
            for i in range(0, len(words) - 1, 2):
                if words[i] == "value":
                    fields["value"] = " ".join(words[i + 1:])
                    break
                fields[words[i]] = words[i + 1]
        return fields

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print(f"PASS {name}", flush=True)
        else:
            self.failed += 1
            print(f"FAIL {name}: {detail}", flush=True)

    def expect(self, name, got, want):
        self.check(name, got == want, f"got {got!r}, want {want!r}")


UNTOUCHED = {"type": "5", "value": "2.5"}  # the tool's marker: a read never yields a double


def read_fields(out):
    return {k: v for k, v in out.items() if k != "status"}


def check_writes(c):
    out = c.tool_run("write", "HKLM", RUN, "NpE2eText", "sz", "Norvane test 1")
    c.expect("write string: status", out.get("status"), "0")
    c.expect("write string: reg shows REG_SZ", c.ws.reg_query(hklm(RUN), "NpE2eText"), ("REG_SZ", "Norvane test 1"))

    out = c.tool_run("write", "HKLM", RUN, "NpE2eI2", "i2", "-1")
    c.expect("write i2 -1: status", out.get("status"), "0")
    c.expect("write i2 -1: REG_DWORD all bits", c.ws.reg_query(hklm(RUN), "NpE2eI2"), ("REG_DWORD", "0xffffffff"))

    out = c.tool_run("write", "HKLM", SCRATCH, "I4", "i4", "305419896")
    c.expect("write i4: REG_DWORD", (out.get("status"), c.ws.reg_query(hklm(SCRATCH), "I4")),
             ("0", ("REG_DWORD", "0x12345678")))

    for kind, args in (("r8", ["1.5"]), ("bool", []), ("empty", [])):
        out = c.tool_run("write", "HKLM", SCRATCH, "Refused", kind, *args)
        c.expect(f"write {kind}: status 0, nothing stored", (out.get("status"), c.ws.reg_query(hklm(SCRATCH), "Refused")),
                 ("0", None))

    out = c.tool_run("read", "HKLM", RUN, "NpE2eText")
    c.expect("own string reads back with NUL and filler", read_fields(out),
             {"type": "8", "length": "16", "value": r"Norvane\stest\s1\0\s"})

    out = c.tool_run("write", "HKLM", SCRATCH, "Empty", "sz", "")
    c.expect("write empty string: REG_SZ", (out.get("status"), c.ws.reg_query(hklm(SCRATCH), "Empty")),
             ("0", ("REG_SZ", "")))
    out = c.tool_run("read", "HKLM", SCRATCH, "Empty")
    c.expect("empty string reads back as NUL and filler", read_fields(out),
             {"type": "8", "length": "2", "value": r"\0\s"})


def check_reads(c):
    c.ws.reg_add(hklm(SCRATCH), "Ten", "REG_SZ", "0123456789")
    out = c.tool_run("read", "HKLM", SCRATCH, "Ten")
    c.expect("read 10-char REG_SZ: status", out.get("status"), "0")
    c.expect("read 10-char REG_SZ: 12 chars", read_fields(out), {"type": "8", "length": "12", "value": r"0123456789\0\s"})

    c.ws.reg_add(hklm(SCRATCH), "Number", "REG_DWORD", "305419896")
    out = c.tool_run("read", "HKLM", SCRATCH, "Number")
    c.expect("read REG_DWORD", out, {"status": "0", "type": "3", "value": "305419896"})

    c.ws.reg_add(hklm(SCRATCH), "Expand", "REG_EXPAND_SZ", "%SystemRoot%")
    out = c.tool_run("read", "HKLM", SCRATCH, "Expand")
    c.expect("read REG_EXPAND_SZ: 0, untouched", out, dict(status="0", **UNTOUCHED))

    out = c.tool_run("read", "HKLM", SCRATCH, "NoSuchValue")
    c.expect("read missing value: 2, untouched", out, dict(status="2", **UNTOUCHED))


def check_odd_values(c):
    # A shape neither the module nor `reg add` makes: stored raw through the same backend.
    out = c.tool_run("setraw", "HKLM", SCRATCH, "Wide", "4", "0102030405060708")
    c.expect("set up an 8-byte REG_DWORD", out.get("status"), "0")
    out = c.tool_run("read", "HKLM", SCRATCH, "Wide")
    c.expect("oversize REG_DWORD: more data, untouched", out, dict(status="234", **UNTOUCHED))
    # A REG_SZ stored without its NUL is left to the unit tests: what Wine's
    # ANSI query reports for one depends on whether the server has saved and
    # reloaded the hive since, not on the module.


def check_missing_key(c):
    for args in (["read"], ["write", "sz", "x"], ["delete"]):
        cmd = [args[0], "HKLM", MISSING, "Value"] + args[1:]
        out = c.tool_run(*cmd)
        c.expect(f"{args[0]} below missing key: 2", out.get("status"), "2")
    c.expect("missing key was not created", c.ws.reg_query(hklm(MISSING)), None)


def check_deletes(c):
    out = c.tool_run("delete", "HKLM", RUN, "NpE2eText")
    c.expect("delete: status", out.get("status"), "0")
    c.expect("delete: value gone", c.ws.reg_query(hklm(RUN), "NpE2eText"), None)
    c.expect("delete: other value kept", c.ws.reg_query(hklm(RUN), "NpE2eI2"), ("REG_DWORD", "0xffffffff"))
    out = c.tool_run("delete", "HKLM", RUN, "NpE2eText")
    c.expect("delete missing value: 0", out.get("status"), "0")
    c.tool_run("delete", "HKLM", RUN, "NpE2eI2")


def main():
    if len(sys.argv) != 2:
        print("usage: test_registry.py <dir with np_reg_tool.exe>", file=sys.stderr)
        return 2
    tool = os.path.join(os.path.abspath(sys.argv[1]), "np_reg_tool.exe")
    if not os.path.isfile(tool):
        print(f"missing {tool}", file=sys.stderr)
        return 2
    c = None
    try:
        with WineSession() as ws:
            c = Checks(ws, tool)
            ws.run("reg", "add", hklm(SCRATCH), "/f", timeout=TOOL_TIMEOUT_S)
            c.check("scratch key created", ws.reg_query(hklm(SCRATCH)) is not None)
            for group in (check_writes, check_reads, check_odd_values, check_missing_key, check_deletes):
                group(c)
    except Exception as e:  # a broken session or tool counts as a failure, not a crash
        print(f"FAIL session: {type(e).__name__}: {e}", flush=True)
        c = c or Checks(None, tool)
        c.failed += 1
    print(f"{c.passed} passed, {c.failed} failed", flush=True)
    return 0 if c.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
