#!/usr/bin/env python3
"""Rewrites a zip so that it is the same bytes wherever it is made: entries
sorted by name (CPack's archive lists files in the order the file system
gives them), every time SOURCE_DATE_EPOCH, modes 644 and 755 only.

Usage: SOURCE_DATE_EPOCH=... normalize_zip.py FILE.zip
"""
import os
import sys
import time
import zipfile

DOS_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry holds


def normalized(info, stamp):
    entry = zipfile.ZipInfo(info.filename, stamp)
    entry.create_system = 3  # Unix, so the modes below mean what they say
    if info.is_dir():
        entry.external_attr = (0o40755 << 16) | 0x10
        entry.compress_type = zipfile.ZIP_STORED
    else:
        executable = (info.external_attr >> 16) & 0o111
        entry.external_attr = (0o100755 if executable else 0o100644) << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
    return entry


def main(path):
    stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), DOS_EPOCH))[:6]
    with zipfile.ZipFile(path) as source:
        entries = [(info, source.read(info)) for info in source.infolist()]
    partial = path + ".partial"
    with zipfile.ZipFile(partial, "w") as out:
        for info, data in sorted(entries, key=lambda entry: entry[0].filename):
            out.writestr(normalized(info, stamp), data, compresslevel=9)
    os.replace(partial, path)


if __name__ == "__main__":
    main(sys.argv[1])
