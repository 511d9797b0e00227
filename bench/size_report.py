#!/usr/bin/python3
"""Sizes of Windows executables, printed, never asserted: the file, each
section's raw size, and the imported DLLs, flagging any that Windows does not
ship (a MinGW runtime DLL would stop the program on a clean machine).

usage: size_report.py EXE...
"""

import sys

import pefile

SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "shell32", "advapi32", "comctl32", "comdlg32", "ole32", "oleaut32",
               "pdh", "msvcrt", "version", "uxtheme", "ntdll", "shlwapi", "psapi", "winmm", "imm32", "ws2_32"}


def is_system_dll(name):
    name = name.lower().removesuffix(".dll")
    return name in SYSTEM_DLLS or name.startswith("api-ms-win-")


def report(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
                                           pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]])
    print(f"{path}: {len(pe.__data__)} bytes")
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode()
        print(f"  {name:<8} {section.SizeOfRawData:>8}")
    entries = getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
    for dll in sorted((e.dll.decode() for e in entries), key=str.lower):
        print(f"  imports {dll}" + ("" if is_system_dll(dll) else "   <- not a Windows system DLL"))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    for path in sys.argv[1:]:
        report(path)


if __name__ == "__main__":
    main()
