#!/usr/bin/env python3
"""Static check of a built pellumin.exe: machine, subsystem, imports, version
block, icon and manifest; exits non-zero if any check fails.
usage: check_product.py EXE i386|x86_64"""

import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

import pe_image as pe

ROOT = Path(__file__).resolve().parents[2]
RESOURCES = ROOT / "resources"

MACHINES = {"i386": (pe.MACHINE_I386, pe.MAGIC_PE32),
            "x86_64": (pe.MACHINE_AMD64, pe.MAGIC_PE32_PLUS)}
SUBSYSTEM_WINDOWS_GUI = 2

# Only DLLs every Windows installation ships; anything else (the MinGW runtime
# above all) would make the program fail to start on a clean machine.
ALLOWED_DLLS = {"kernel32", "user32", "gdi32", "shell32", "advapi32", "comctl32",
                "pdh", "msvcrt", "ole32", "oleaut32", "comdlg32", "version",
                "uxtheme"}

STRING_TABLE_KEY = "040704B0"
TRANSLATION = (0x0407, 1200)


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Product:
    """The executable under test with its parsed parts, read lazily."""

    def __init__(self, path, arch):
        self.path, self.arch = Path(path), arch
        self.image = pe.PEImage(self.path.read_bytes())
        self._resources = None

    @property
    def resources(self):
        if self._resources is None:
            self._resources = self.image.resources()
        return self._resources

    def of_type(self, rtype):
        return {name: langs for (t, name), langs in self.resources.items() if t == rtype}

    def single(self, rtype, what):
        found = self.of_type(rtype)
        expect(len(found) == 1, f"expected one {what} resource, found {len(found)}")
        (name, langs), = found.items()
        expect(len(langs) == 1, f"{what} {name} has {len(langs)} languages")
        return name, next(iter(langs.values()))


def idi_app():
    text = (RESOURCES / "resource_ids.h").read_text()
    return int(re.search(r"#define\s+IDI_APP\s+(\d+)", text).group(1))


# --- the checks: each returns a detail line or raises Failure ---------------

def check_machine(p):
    machine, magic = MACHINES[p.arch]
    expect(p.image.machine == machine, f"machine {p.image.machine:#x}, want {machine:#x}")
    expect(p.image.magic == magic, f"optional header magic {p.image.magic:#x}, want {magic:#x}")
    return f"machine {machine:#x}, magic {magic:#x}"


def check_subsystem(p):
    expect(p.image.subsystem == SUBSYSTEM_WINDOWS_GUI,
           f"subsystem {p.image.subsystem}, want {SUBSYSTEM_WINDOWS_GUI} (Windows GUI)")
    return "Windows GUI"


def check_imports(p):
    dlls = p.image.imported_dlls()
    bad = [d for d in dlls if d.lower().removesuffix(".dll") not in ALLOWED_DLLS]
    expect(dlls, "no imports found")
    expect(not bad, "not a system DLL: " + ", ".join(bad))
    return ", ".join(sorted({d.lower() for d in dlls}))


def version_info(p):
    name, data = p.single(pe.RT_VERSION, "version")
    expect(name == 1, f"version resource id {name!r}, want 1")
    return pe.parse_version(data)


def check_fixed_version(p):
    f = version_info(p)["fixed"]
    want = {"signature": 0xFEEF04BD, "file_ms": 0x00010000, "file_ls": 0,
            "product_ms": 0x00010000, "product_ls": 0, "os": 4, "type": 1,
            "flags": 0}
    wrong = [f"{k} {f[k]:#x} (want {v:#x})" for k, v in want.items() if f[k] != v]
    expect(not wrong, "; ".join(wrong))
    return "1.0.0.0 / 1.0.0.0, type 1, OS 4"


def check_strings(p):
    info = version_info(p)
    expect(info["string_file_infos"] == 1,
           f"{info['string_file_infos']} StringFileInfo blocks, want 1")
    tables = info["tables"]
    expect(list(tables) == [STRING_TABLE_KEY],
           f"string tables {list(tables)}, want ['{STRING_TABLE_KEY}']")
    base = p.path.name.removesuffix(".exe")
    want = {"CompanyName": "Norvane", "ProductName": "Norvane Pellumin",
            "FileVersion": "1.00", "ProductVersion": "1.00",
            "InternalName": base, "OriginalFilename": base + ".exe"}
    got = tables[STRING_TABLE_KEY]
    wrong = [f"{k}={got.get(k)!r} (want {want.get(k)!r})"
             for k in sorted(set(want) | set(got)) if got.get(k) != want.get(k)]
    expect(not wrong, "; ".join(wrong))
    return f"{len(want)} strings as expected"


def check_translation(p):
    got = version_info(p)["translations"]
    expect(got == [TRANSLATION], f"translations {got}, want [{TRANSLATION}]")
    return "0x0407 / 1200"


def icon_group(p):
    name, data = p.single(pe.RT_GROUP_ICON, "group icon")
    expect(name == idi_app(), f"group icon id {name!r}, want IDI_APP = {idi_app()}")
    entries = pe.group_icon_entries(data)
    expect(len(entries) == 1, f"group icon has {len(entries)} images, want 1")
    return entries[0]


def icon_image(p, entry):
    langs = p.of_type(pe.RT_ICON).get(entry["id"])
    expect(langs, f"RT_ICON {entry['id']} named by the group is missing")
    return next(iter(langs.values()))


def check_icon(p):
    e = icon_group(p)
    expect((e["width"], e["height"]) == (16, 16), f"entry {e['width']}x{e['height']}")
    expect(e["colors"] == 0 and e["bpp"] in (0, 8),
           f"entry colours {e['colors']}, bit count {e['bpp']}; want 256 colours")
    data = icon_image(p, e)
    expect(e["size"] == len(data), f"entry size {e['size']}, image is {len(data)} bytes")
    h = pe.dib_header(data)
    expect((h["size"], h["width"], h["height"], h["planes"], h["bpp"], h["compression"])
           == (40, 16, 32, 1, 8, 0), f"DIB header {h}")
    expect(h["clr_used"] in (0, 256), f"palette of {h['clr_used']} colours")
    want_size = 40 + 256 * 4 + 16 * 16 + 16 * 4
    expect(len(data) >= want_size, f"image {len(data)} bytes, want {want_size}")
    return "one 16x16 image, 8 bpp, 256-entry palette, with mask"


def check_icon_is_app_ico(p):
    data = icon_image(p, icon_group(p))
    expect([data] == pe.ico_images((RESOURCES / "app.ico").read_bytes()),
           "RT_ICON differs from resources/app.ico")
    return "same image as resources/app.ico"


def check_manifest(p):
    name, data = p.single(pe.RT_MANIFEST, "manifest")
    expect(name == 1, f"manifest id {name!r}, want 1")
    root = ET.fromstring(data)
    levels = [e.get("level") for e in root.iter()
              if e.tag.endswith("}requestedExecutionLevel")]
    expect(levels == ["asInvoker"], f"execution levels {levels}, want ['asInvoker']")
    deps = [(ident.get("name"), ident.get("version"))
            for dep in root.iter() if dep.tag.endswith("}dependentAssembly")
            for ident in dep if ident.tag.endswith("}assemblyIdentity")]
    cc6 = ("Microsoft.Windows.Common-Controls", "6.0.0.0")
    expect(cc6 in deps, f"dependencies {deps}, want {cc6}")
    return "asInvoker, Common-Controls 6.0.0.0"


def check_icon_reproducible(_):
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "app.ico"
        subprocess.run([sys.executable, str(RESOURCES / "make_icon.py"), str(out)],
                       check=True)
        expect(out.read_bytes() == (RESOURCES / "app.ico").read_bytes(),
               "make_icon.py output differs from resources/app.ico")
    return "make_icon.py reproduces resources/app.ico"


CHECKS = [
    ("machine", check_machine),
    ("subsystem", check_subsystem),
    ("imports", check_imports),
    ("fixed version", check_fixed_version),
    ("version strings", check_strings),
    ("translation", check_translation),
    ("icon", check_icon),
    ("icon image", check_icon_is_app_ico),
    ("manifest", check_manifest),
    ("icon source", check_icon_reproducible),
]


def run(product):
    failures = 0
    for name, check in CHECKS:
        try:
            print(f"PASS  {name}: {check(product)}")
        except Failure as err:
            failures += 1
            print(f"FAIL  {name}: {err}")
        except Exception as err:  # a malformed file must fail, not crash the run
            failures += 1
            print(f"FAIL  {name}: {type(err).__name__}: {err}")
    return failures


def main(argv):
    if len(argv) != 3 or argv[2] not in MACHINES:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    try:
        product = Product(argv[1], argv[2])
    except (OSError, pe.PEError, struct.error) as err:
        print(f"FAIL  read {argv[1]}: {err}")
        return 1
    failures = run(product)
    print(f"{len(CHECKS) - failures} of {len(CHECKS)} checks passed for {argv[1]}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
