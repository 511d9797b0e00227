#!/usr/bin/env python3
"""The Settings window on the real Win32 backend under Wine: its layout, the
autorun box against Wine's registry, and the load step after a close.

usage: test_settings.py NP_WIN64_DIR [--out DIR]
NP_WIN64_DIR holds np_settings_host.exe and np_settings_probe.exe.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from checks import Checks  # noqa: E402
from wine_session import WineSession, win_path  # noqa: E402

RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
NAME = "np_settings_host"
# Twips at 96 DPI: 15 a pixel.
CLIENT = "154,90"
BOX = "16,16,129,25"
EDIT = "8,56,137,19"


def fields(line):
    return dict(part.split("=", 1) for part in line.split() if "=" in part)


class SettingsWindow:
    """The probe's view of the host's Settings window."""

    def __init__(self, ws, bin_dir):
        self.ws = ws
        self.probe = os.path.join(bin_dir, "np_settings_probe.exe")

    def call(self, *args):
        result = self.ws.run(self.probe, *args, timeout=30)
        line = result.stdout.strip().splitlines()[-1] if result.stdout.strip() else ""
        return fields(line) if result.returncode == 0 else {}

    def wait(self, condition="", old=""):
        return self.call("wait", "10000", *([condition] if condition else []), *([old] if old else []))


def entry(ws):
    return ws.reg_query(RUN_KEY, NAME)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--out", default=None)
    args = parser.parse_args()
    out = args.out or os.path.join(args.bin_dir, "e2e-settings")
    os.makedirs(out, exist_ok=True)
    host = os.path.join(args.bin_dir, NAME + ".exe")
    expected = ("REG_SZ", win_path(args.bin_dir) + "\\" + NAME + ".exe")
    c = Checks()

    with WineSession(out) as ws:
        if entry(ws) is not None:
            ws.reg_delete(RUN_KEY, NAME)
        proc = ws.spawn(host)
        win = SettingsWindow(ws, args.bin_dir)

        shown = win.wait("visible")
        c.check("the window opens, visible", bool(shown), "no Settings window")
        if not shown:
            return c.finish()
        ws.screenshot(os.path.join(out, "settings.png"))
        c.check(f"client area {CLIENT} px (2310 x 1350 twips)", shown.get("client") == CLIENT, shown)
        c.check("fixed border: close box, no sizing, no min/max box",
                (shown["sizebox"], shown["minbox"], shown["maxbox"], shown["sysmenu"]) == ("0", "0", "0", "1"), shown)
        c.check("check box and text box where the layout puts them, box first in tab order",
                (shown.get("box"), shown.get("edit"), shown.get("first_tab")) == (BOX, EDIT, "box"), shown)
        c.check("no entry: the box starts unticked and nothing is written",
                shown.get("check") == "0" and entry(ws) is None, (shown, entry(ws)))

        ticked = win.call("click")
        c.check("ticking writes the entry with the executable's full path",
                ticked.get("check") == "1" and entry(ws) == expected, (ticked, entry(ws)))
        unticked = win.call("click")
        c.check("unticking deletes the entry", unticked.get("check") == "0" and entry(ws) is None,
                (unticked, entry(ws)))

        for type_, data in (("REG_SZ", r"C:\Old place\np_settings_host.exe"), ("REG_DWORD", "1")):
            ws.reg_add(RUN_KEY, NAME, type_, data)
            old = shown["hwnd"]
            win.call("close")
            again = win.wait("new", old)
            shown = again or shown
            c.check(f"after a close the window comes back hidden; a {type_} entry ticks the box "
                    "and is rewritten with the current path",
                    again.get("visible") == "0" and again.get("check") == "1" and entry(ws) == expected,
                    (again, entry(ws)))

        c.check("the host is still running", proc.poll() is None)
    return c.finish()


if __name__ == "__main__":
    sys.exit(main())
