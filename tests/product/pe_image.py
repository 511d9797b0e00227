"""A small read-only reader for Windows PE executables: headers, imported DLLs,
the resource tree and the structures inside version and icon resources."""

import struct

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
MAGIC_PE32, MAGIC_PE32_PLUS = 0x10B, 0x20B
DIR_IMPORT, DIR_RESOURCE, DIR_DELAY_IMPORT = 1, 2, 13
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class PEError(Exception):
    pass


class PEImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PEError("no MZ header")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        (self.machine, nsections, _, _, _, opt_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = self._u16(opt)
        self.subsystem = self._u16(opt + 68)
        dirs = opt + (96 if self.magic == MAGIC_PE32 else 112)
        ndirs = self._u32(dirs - 4)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i)
                            for i in range(min(ndirs, 16))]
        self.sections = []
        for i in range(nsections):
            name, vsize, va, raw_size, raw_ptr = struct.unpack_from(
                "<8sIIII", data, opt + opt_size + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"),
                                  va, max(vsize, raw_size), raw_ptr, raw_size))

    def _u16(self, off):
        return struct.unpack_from("<H", self.data, off)[0]

    def _u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def offset(self, rva):
        for _, va, span, raw_ptr, raw_size in self.sections:
            if va <= rva < va + span:
                if rva - va >= raw_size:
                    raise PEError(f"RVA {rva:#x} lies in uninitialised data")
                return raw_ptr + rva - va
        raise PEError(f"RVA {rva:#x} is in no section")

    def bytes_at(self, rva, size):
        off = self.offset(rva)
        if off + size > len(self.data):
            raise PEError(f"{size} bytes at RVA {rva:#x} run past the file")
        return self.data[off:off + size]

    def cstring(self, rva):
        off = self.offset(rva)
        end = self.data.index(b"\0", off)
        return self.data[off:end].decode("latin-1")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imported_dlls(self):
        """Names of all DLLs imported, ordinarily or delay-loaded."""
        names = []
        rva, _ = self.directory(DIR_IMPORT)
        while rva:
            fields = struct.unpack_from("<5I", self.data, self.offset(rva))
            if not any(fields):
                break
            names.append(self.cstring(fields[3]))
            rva += 20
        rva, _ = self.directory(DIR_DELAY_IMPORT)
        while rva:
            name_rva = struct.unpack_from("<II", self.data, self.offset(rva))[1]
            if not name_rva:
                break
            names.append(self.cstring(name_rva))
            rva += 32
        return names

    def resources(self):
        """{(type, name): {language: bytes}}; ids are ints, names are strs."""
        base, _ = self.directory(DIR_RESOURCE)
        found = {}
        if not base:
            return found
        for rtype, type_off in self._res_entries(base, 0):
            for name, name_off in self._res_entries(base, type_off):
                for lang, data_off in self._res_entries(base, name_off):
                    rva, size = struct.unpack_from(
                        "<II", self.data, self.offset(base + data_off))
                    found.setdefault((rtype, name), {})[lang] = self.bytes_at(rva, size)
        return found

    def _res_entries(self, base, dir_off):
        named, ids = struct.unpack_from("<HH", self.data, self.offset(base + dir_off) + 12)
        first = self.offset(base + dir_off) + 16
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, first + 8 * i)
            if name & 0x80000000:
                at = self.offset(base + (name & 0x7FFFFFFF))
                length = self._u16(at)
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target & 0x7FFFFFFF


# --- version resource -----------------------------------------------------

FIXED_FIELDS = ("signature", "struc_version", "file_ms", "file_ls", "product_ms",
                "product_ls", "flags_mask", "flags", "os", "type", "subtype",
                "date_ms", "date_ls")


def _wstring(data, pos, end):
    """A NUL-terminated UTF-16 string and the position after its terminator."""
    p = pos
    while p + 1 < end and data[p:p + 2] != b"\0\0":
        p += 2
    return data[pos:p].decode("utf-16-le"), p + 2


def _align4(pos):
    return (pos + 3) & ~3


def version_block(data, pos=0):
    """One node of a VS_VERSIONINFO tree: (key, type, value bytes, children)."""
    length, value_len, vtype = struct.unpack_from("<HHH", data, pos)
    if length < 6 or pos + length > len(data):
        raise PEError(f"bad version block length {length} at {pos}")
    end = pos + length
    key, p = _wstring(data, pos + 6, end)
    p = _align4(p)
    size = 2 * value_len if vtype == 1 else value_len
    value = data[p:min(p + size, end)]
    p = _align4(p + size)
    children = []
    while p < end:
        child_len = struct.unpack_from("<H", data, p)[0]
        children.append(version_block(data, p))
        p = _align4(p + child_len)
    return key, vtype, value, children


def text_value(value):
    return value.decode("utf-16-le").split("\0", 1)[0]


def parse_version(data):
    """{"fixed": {...}, "tables": {key: {name: text}}, "translations": [...]}"""
    key, _, value, children = version_block(data)
    if key != "VS_VERSION_INFO" or len(value) != 52:
        raise PEError("not a VS_VERSION_INFO block")
    info = {"fixed": dict(zip(FIXED_FIELDS, struct.unpack("<13I", value))),
            "tables": {}, "translations": [], "string_file_infos": 0}
    for ckey, _, _, grandchildren in children:
        if ckey == "StringFileInfo":
            info["string_file_infos"] += 1
            for tkey, _, _, strings in grandchildren:
                info["tables"][tkey] = {s[0]: text_value(s[2]) for s in strings}
        elif ckey == "VarFileInfo":
            for vkey, _, vvalue, _ in grandchildren:
                if vkey == "Translation":
                    info["translations"] += list(
                        struct.iter_unpack("<HH", vvalue[:len(vvalue) & ~3]))
    return info


# --- icons ----------------------------------------------------------------

def group_icon_entries(data):
    """Entries of an RT_GROUP_ICON: dicts with width, height, colors, bpp, size, id."""
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise PEError(f"group icon of type {kind}")
    keys = ("width", "height", "colors", "reserved", "planes", "bpp", "size", "id")
    return [dict(zip(keys, struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)))
            for i in range(count)]


def dib_header(data):
    keys = ("size", "width", "height", "planes", "bpp", "compression",
            "image_size", "xppm", "yppm", "clr_used", "clr_important")
    return dict(zip(keys, struct.unpack_from("<IiiHHIIiiII", data, 0)))


def ico_images(data):
    """The images of an .ico file as raw DIB bytes, in directory order."""
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise PEError("not an icon file")
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append(data[offset:offset + size])
    return images
