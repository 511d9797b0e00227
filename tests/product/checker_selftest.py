#!/usr/bin/env python3
"""Shows that check_product.py rejects faulty builds: links stand-in programs
with broken resources or link flags and expects exactly the right checks to
fail. Needs the mingw-w64 cross compilers. usage: checker_selftest.py [WORKDIR]"""

import shutil
import struct
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
RESOURCES = HERE.parents[1] / "resources"
DEFAULT_WORKDIR = HERE.parents[1] / "build" / "res-selftest"

STANDIN = r"""
#include <windows.h>
#include <string>
#include "resource_ids.h"
int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
    std::string s(cmd);  // drags in the C++ runtime
    return LoadIconA(inst, MAKEINTRESOURCEA(IDI_APP)) && s.size() > 9999;
}
"""
STATIC = ["-static", "-static-libgcc", "-static-libstdc++", "-mwindows"]
NO_VERSION = {"fixed version", "version strings", "translation"}
NO_ICON = {"icon", "icon image"}


def icon_32bpp(_):
    """A well-formed icon that is not the 256-colour one."""
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, 16 * 16 * 4 + 64, 0, 0, 0, 0)
    image = header + b"\x80" * (16 * 16 * 4) + b"\0" * 64
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(image), 22) + image)


def stale_icon(data):
    return data[:-100] + bytes([data[-100] ^ 0xFF]) + data[-99:]


# name, arch built, arch claimed, edits, link flags, expected failing checks.
# An edit is (file, old text, new text) or (file, function over its bytes).
CASES = [
    ("good i686", "i686", "i386", [], STATIC, set()),
    ("good x86_64", "x86_64", "x86_64", [], STATIC, set()),
    ("wrong machine", "x86_64", "i386", [], STATIC, {"machine"}),
    ("console program", "i686", "i386", [], STATIC[:3] + ["-mconsole"], {"subsystem"}),
    ("shared C++ runtime", "i686", "i386", [], ["-mwindows"], {"imports"}),
    ("no resources", "x86_64", "x86_64", None, STATIC, NO_VERSION | NO_ICON | {"manifest"}),
    ("file version", "i686", "i386",
     [("pellumin.rc", "FILEVERSION     1,0,0,0", "FILEVERSION 1,0,0,1")], STATIC, {"fixed version"}),
    ("debug build flag", "i686", "i386",
     [("pellumin.rc", "FILEFLAGS       0x0L", "FILEFLAGS 0x1L")], STATIC, {"fixed version"}),
    ("file type DLL", "i686", "i386",
     [("pellumin.rc", "VFT_APP", "VFT_DLL")], STATIC, {"fixed version"}),
    ("table language", "i686", "i386",
     [("pellumin.rc", '"040704B0"', '"040904B0"')], STATIC, {"version strings"}),
    ("company typo", "i686", "i386",
     [("pellumin.rc", '"Norvane"', '"Norvan"')], STATIC, {"version strings"}),
    ("extra string", "x86_64", "x86_64",
     [("pellumin.rc", "VALUE \"CompanyName\"", "VALUE \"Comments\", \"x\"\nVALUE \"CompanyName\"")],
     STATIC, {"version strings"}),
    ("translation", "i686", "i386",
     [("pellumin.rc", "0x0407, 1200", "0x0409, 1200")], STATIC, {"translation"}),
    ("elevation", "i686", "i386",
     [("pellumin.manifest", '"asInvoker"', '"requireAdministrator"')], STATIC, {"manifest"}),
    ("old common controls", "i686", "i386",
     [("pellumin.manifest", 'version="6.0.0.0"', 'version="5.82.0.0"')], STATIC, {"manifest"}),
    ("icon id", "i686", "i386",
     [("pellumin.rc", "IDI_APP ICON", "7 ICON")], STATIC, NO_ICON),
    ("true-colour icon", "i686", "i386", [("app.ico", icon_32bpp)], STATIC, NO_ICON),
    ("stale icon", "x86_64", "x86_64", [("app.ico", stale_icon)], STATIC, {"icon image"}),
]


def edit_resources(target, edits):
    shutil.copytree(RESOURCES, target, ignore=shutil.ignore_patterns("__pycache__"))
    for file, *change in edits:
        path = target / file
        if len(change) == 1:
            path.write_bytes(change[0](path.read_bytes()))
            continue
        old, new = change
        text = path.read_text()
        assert old in text, f"{file} no longer contains {old!r}"
        path.write_text(text.replace(old, new))


def build(workdir, case):
    name, arch, _, edits, flags, _ = case
    out = workdir / name.replace(" ", "_")
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    (out / "standin.cpp").write_text(STANDIN)
    inputs = [str(out / "standin.cpp")]
    if edits is not None:
        edit_resources(out / "resources", edits)
        subprocess.run([f"{arch}-w64-mingw32-windres", str(out / "resources/pellumin.rc"),
                        "-O", "coff", "-o", str(out / "res.o")], check=True)
        inputs.append(str(out / "res.o"))
    exe = out / "pellumin.exe"
    subprocess.run([f"{arch}-w64-mingw32-g++", "-O2", "-I", str(RESOURCES), *inputs,
                    "-o", str(exe), *flags], check=True)
    return exe


def failed_checks(exe, claimed):
    run = subprocess.run([sys.executable, str(HERE / "check_product.py"), str(exe), claimed],
                         capture_output=True, text=True)
    failed = {line[6:].split(":")[0] for line in run.stdout.splitlines()
              if line.startswith("FAIL  ")}
    return failed, run.returncode, run.stdout


def main(argv):
    workdir = Path(argv[1]) if len(argv) > 1 else DEFAULT_WORKDIR
    wrong = 0
    for case in CASES:
        failed, code, output = failed_checks(build(workdir, case), case[2])
        ok = failed == case[5] and (code != 0) == bool(case[5])
        print(f"{'ok  ' if ok else 'BAD '} {case[0]}: failed {sorted(failed) or 'none'}")
        if not ok:
            wrong += 1
            print(f"     expected {sorted(case[5]) or 'none'}, exit {code}\n{output}")
    print(f"{len(CASES) - wrong} of {len(CASES)} cases behaved as expected")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
