"""Static checks of both built pellumin.exe: machine, subsystem, imports,
header time stamp, size, version block, icon, the About window's picture and
pointer, and manifest."""

import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import pefile
import pytest

RESOURCES = Path(__file__).resolve().parents[2] / "resources"
RT_CURSOR, RT_BITMAP, RT_ICON, RT_GROUP_CURSOR, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 1, 2, 3, 12, 14, 16, 24
MACHINES = {"i686": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}  # machine, optional header magic
# Only DLLs every Windows installation ships; the MinGW runtime above all
# would stop the program on a clean machine.
ALLOWED_DLLS = {"kernel32", "user32", "gdi32", "shell32", "advapi32", "comctl32", "pdh", "msvcrt", "ole32",
                "oleaut32", "comdlg32", "version", "uxtheme"}


@pytest.fixture(scope="module", params=sorted(MACHINES))
def exe(request):
    path = Path(request.config.getoption("--" + request.param))
    return request.param, path, pefile.PE(str(path))


def resources(pe, rtype):
    """{name or id: data} of one resource type, one language each."""
    found = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in t.directory.entries if t.id == rtype else []:
            (lang,) = entry.directory.entries
            found[entry.id or str(entry.name)] = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
    return found


def test_machine_and_subsystem(exe):
    arch, _, pe = exe
    assert (pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Magic) == MACHINES[arch]
    assert pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]


def test_imports_only_system_dlls(exe):
    pe = exe[2]
    dlls = [e.dll.decode().lower().removesuffix(".dll")
            for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    assert dlls and set(dlls) <= ALLOWED_DLLS


def test_no_link_time_in_header(exe):
    # Releases are checked by their hash: two builds of one commit must be identical.
    assert exe[2].FILE_HEADER.TimeDateStamp == 0


def test_i686_product_under_400_kb(request):
    assert Path(request.config.getoption("--i686")).stat().st_size < 400 * 1024


def test_fixed_version(exe):
    pe = exe[2]
    assert list(resources(pe, RT_VERSION)) == [1]
    f = pe.VS_FIXEDFILEINFO[0]
    assert (f.Signature, f.FileVersionMS, f.FileVersionLS, f.ProductVersionMS, f.ProductVersionLS) == \
        (0xFEEF04BD, 0x00010000, 0, 0x00010000, 0)
    assert (f.FileOS, f.FileType, f.FileFlags) == (4, 1, 0)  # Win32, application, no flags


def test_version_strings_and_translation(exe):
    _, path, pe = exe
    blocks = [(b.Key, b) for info in pe.FileInfo for b in info]
    assert [key for key, _ in blocks] == [b"StringFileInfo", b"VarFileInfo"]
    tables = {t.LangID: t.entries for t in blocks[0][1].StringTable}
    assert tables == {b"040704B0": {
        b"CompanyName": b"Norvane", b"ProductName": b"Norvane Pellumin", b"FileVersion": b"1.00",
        b"ProductVersion": b"1.00", b"InternalName": path.stem.encode(), b"OriginalFilename": path.name.encode()}}
    assert [v.entry for v in blocks[1][1].Var] == [{b"Translation": "0x0407 0x04b0"}]  # German, Unicode


def resource_id(name):
    return int(re.search(rf"#define\s+{name}\s+(\d+)", (RESOURCES / "resource_ids.h").read_text())[1])


def icon_image(pe):
    """The one group icon's only entry and its RT_ICON image."""
    idi_app = resource_id("IDI_APP")
    groups = resources(pe, RT_GROUP_ICON)
    assert list(groups) == [idi_app]
    _, kind, count = struct.unpack_from("<HHH", groups[idi_app])
    assert (kind, count) == (1, 1)
    entry = struct.unpack_from("<BBBBHHIH", groups[idi_app], 6)
    return entry, resources(pe, RT_ICON)[entry[7]]


def test_icon_is_app_ico_one_16x16_256_colour_image(exe):
    (width, height, colours, _, _, bpp, size, _), image = icon_image(exe[2])
    assert (width, height, colours, size) == (16, 16, 0, len(image)) and bpp in (0, 8)
    assert struct.unpack_from("<IiiHHI", image) == (40, 16, 32, 1, 8, 0)  # with its mask, 8 bits a pixel, unpacked
    ico = (RESOURCES / "app.ico").read_bytes()
    size, offset = struct.unpack_from("<II", ico, 6 + 8)
    assert struct.unpack_from("<H", ico, 4) == (1,) and image == ico[offset:offset + size]


def test_manifest(exe):
    manifests = resources(exe[2], RT_MANIFEST)
    assert list(manifests) == [1]
    root = ET.fromstring(manifests[1])
    levels = [e.get("level") for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
    deps = [(i.get("name"), i.get("version")) for d in root.iter() if d.tag.endswith("}dependentAssembly")
            for i in d if i.tag.endswith("}assemblyIdentity")]
    assert levels == ["asInvoker"] and ("Microsoft.Windows.Common-Controls", "6.0.0.0") in deps


def test_banner_is_banner_bmp(exe):
    # A bitmap resource is the file without its 14-byte file header.
    assert resources(exe[2], RT_BITMAP) == {resource_id("IDB_BANNER"): (RESOURCES / "banner.bmp").read_bytes()[14:]}


def test_hand_pointer_is_hand_cur(exe):
    pe = exe[2]
    groups = resources(pe, RT_GROUP_CURSOR)
    assert list(groups) == [resource_id("IDC_HAND_POINTER")]
    image_id = struct.unpack_from("<H", groups[resource_id("IDC_HAND_POINTER")], 6 + 12)[0]
    # A cursor resource is the file's image behind its hot spot.
    cur = (RESOURCES / "hand.cur").read_bytes()
    hot_x, hot_y, size, offset = struct.unpack_from("<HHII", cur, 6 + 4)
    assert resources(pe, RT_CURSOR) == {image_id: struct.pack("<HH", hot_x, hot_y) + cur[offset:offset + size]}
    # The mask's bit is 0 where the hand is: the hot spot on it with nothing
    # above, or the pointer would click beside the fingertip.
    mask = cur[offset + 40 + 8 + 128:offset + size]
    def on_hand(x, y):
        return not mask[(31 - y) * 4 + x // 8] & (0x80 >> x % 8)
    assert on_hand(hot_x, hot_y) and not any(on_hand(hot_x, y) for y in range(hot_y)), (hot_x, hot_y)


@pytest.mark.parametrize("script, output", [("make_icon.py", "app.ico"), ("make_banner.py", "banner.bmp"),
                                            ("make_cursor.py", "hand.cur")])
def test_art_scripts_reproduce_committed_files(tmp_path, script, output):
    subprocess.run([sys.executable, str(RESOURCES / script), str(tmp_path / output)], check=True)
    assert (tmp_path / output).read_bytes() == (RESOURCES / output).read_bytes()
