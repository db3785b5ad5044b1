#!/usr/bin/env python3
"""Checks an unpacked Windows release as a user receives it: its files and
checksums, and terrain_probe.dll and probe-host.exe as Windows' loader and
file properties see them (imports, exports, version resource, bitmaps,
time stamps), stripped, with the debug information found beside the DLL,
and no path of the tree they were built in.

Usage: check_zip.py UNPACKED_DIR VERSION SOURCE_TREE
Prints one line per failed check and exits 1 if any failed.
"""
import hashlib
import os
import sys
import zlib

import pefile

EXPECTED_FILES = {
    "CHANGELOG.md", "LICENSE.txt", "README.md", "SHA256SUMS",
    "probe-host.exe", "terrain_probe.dll", "terrain_probe.dll.debug",
    "notices/GCC-RUNTIME-LIBRARY-EXCEPTION.txt", "notices/GPL-3.txt", "notices/MINGW-W64.txt",
}
EXPECTED_PREFIXES = ("examples/",)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def files_under(root):
    found = set()
    for directory, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(directory, name), root))
    return found


def check_files(root):
    found = files_under(root)
    check(EXPECTED_FILES <= found, f"missing from the zip: {sorted(EXPECTED_FILES - found)}")
    extra = {f for f in found - EXPECTED_FILES if not f.startswith(EXPECTED_PREFIXES)}
    check(not extra, f"unexpected in the zip: {sorted(extra)}")
    check(any(f.startswith("examples/") for f in found), "the zip holds no examples")
    listed = {}
    with open(os.path.join(root, "SHA256SUMS")) as sums:
        for line in sums:
            digest, name = line.rstrip("\n").split("  ", 1)
            listed[name] = digest
    check(set(listed) == found - {"SHA256SUMS"}, "SHA256SUMS does not list exactly the other files")
    for name, digest in listed.items():
        with open(os.path.join(root, name), "rb") as f:
            check(hashlib.sha256(f.read()).hexdigest() == digest, f"SHA256SUMS is wrong for {name}")


def string_table(pe):
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"StringFileInfo":
            return {k.decode(): v.decode() for table in info.StringTable for k, v in table.entries.items()}
    return {}


def check_version_resource(pe, name, version, description_word):
    strings = string_table(pe)
    expected = {
        "FileVersion": version, "ProductVersion": version, "ProductName": "terrain-probe",
        "OriginalFilename": name,
    }
    for field, value in expected.items():
        check(strings.get(field) == value, f"{name}: {field} is {strings.get(field)!r}, not {value!r}")
    check(description_word in strings.get("FileDescription", ""), f"{name}: FileDescription {strings.get('FileDescription')!r}")
    check(strings.get("LegalCopyright", "").startswith("Copyright"), f"{name}: LegalCopyright {strings.get('LegalCopyright')!r}")
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF]
    check(numbers == [int(n) for n in version.split(".")] + [0], f"{name}: fixed file version {numbers}")


def resources(pe):
    """{(type, id): bytes} of every resource, whatever its language."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                data = language.data.struct
                found[(kind.id, entry.id)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def section_names(pe):
    """Section names; a long one ("/4") is read from the COFF string table."""
    names = []
    strings = pe.FILE_HEADER.PointerToSymbolTable + pe.FILE_HEADER.NumberOfSymbols * 18
    for section in pe.sections:
        name = section.Name.rstrip(b"\0")
        if name.startswith(b"/") and name[1:].isdigit():
            start = strings + int(name[1:])
            name = pe.__data__[start:pe.__data__.find(b"\0", start)]
        names.append(name.decode())
    return names


def check_binary(path, name, tree):
    pe = pefile.PE(path)
    imports = sorted(i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT)
    check(pe.FILE_HEADER.TimeDateStamp == 0, f"{name}: a time stamp in the PE header")
    sections = section_names(pe)
    check(not [s for s in sections if s.startswith((".debug", ".zdebug"))], f"{name}: debug sections {sections}")
    with open(path, "rb") as f:
        check(tree.encode() not in f.read(), f"{name}: holds the build tree's path {tree}")
    return pe, imports, sections


def check_dll(root, version, tree):
    name = "terrain_probe.dll"
    pe, imports, sections = check_binary(os.path.join(root, name), name, tree)
    check(imports == ["kernel32.dll", "msvcrt.dll"], f"{name}: imports {imports}")
    exports = sorted(e.name.decode() for e in pe.DIRECTORY_ENTRY_EXPORT.symbols)
    check(exports == ["ImportTable", "Linkage"], f"{name}: exports {exports}")
    check_version_resource(pe, name, version, "gauge module")
    found = resources(pe)
    RT_BITMAP, RT_VERSION = 2, 16
    check(set(found) == {(RT_BITMAP, 256), (RT_BITMAP, 512), (RT_VERSION, 1)}, f"{name}: resources {sorted(found)}")
    for resource_id, bitmap in ((256, "vorn.bmp"), (512, "display.bmp")):
        with open(os.path.join(tree, "resources", bitmap), "rb") as f:
            file_bytes = f.read()[14:]  # a resource holds the bitmap without its file header
        check(found.get((RT_BITMAP, resource_id)) == file_bytes, f"{name}: bitmap {resource_id} differs from {bitmap}")
    check_debuglink(pe, root, name, sections)


def check_debuglink(pe, root, name, sections):
    if ".gnu_debuglink" not in sections:
        failures.append(f"{name}: no .gnu_debuglink")
        return
    section = pe.sections[sections.index(".gnu_debuglink")]
    data = section.get_data()
    linked = data.split(b"\0", 1)[0].decode()
    offset = (len(linked) + 1 + 3) & ~3
    crc = int.from_bytes(data[offset:offset + 4], "little")
    check(linked == name + ".debug", f"{name}: .gnu_debuglink names {linked!r}")
    debug_path = os.path.join(root, linked)
    if os.path.exists(debug_path):
        with open(debug_path, "rb") as f:
            debug = f.read()
        check(zlib.crc32(debug) == crc, f"{name}: .gnu_debuglink's CRC does not match {linked}")
        debug_sections = section_names(pefile.PE(data=debug))
        check(".debug_info" in debug_sections, f"{linked}: no .debug_info ({debug_sections})")


def check_exe(root, version, tree):
    name = "probe-host.exe"
    pe, imports, _ = check_binary(os.path.join(root, name), name, tree)
    check(set(imports) <= {"kernel32.dll", "msvcrt.dll", "version.dll"}, f"{name}: imports {imports}")
    check_version_resource(pe, name, version, "probe-host")


def main(root, version, tree):
    check_files(root)
    check_dll(root, version, tree)
    check_exe(root, version, tree)
    for failure in failures:
        print(f"check_zip: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
