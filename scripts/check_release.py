#!/usr/bin/python3
"""Checks a packaged executable: its size, its version record and its manifest.

check_release.py FILE VERSION fails unless FILE is at most 300 KB (300 000 bytes), carries a
version record naming the program and VERSION, and a manifest asking for common controls 6
without elevation."""
import re
import sys

import pefile

MAX_BYTES = 300 * 1000
RT_MANIFEST = 24


def version_strings(pe):
    values = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                for key, value in table.entries.items():
                    values.setdefault(key.decode(), value.decode())
    return values


def manifest(pe):
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return ""
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == RT_MANIFEST:
            data = kind.directory.entries[0].directory.entries[0].data.struct
            return pe.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace")
    return ""


def main(path, version):
    faults = []
    with open(path, "rb") as f:
        size = len(f.read())
    if size > MAX_BYTES:
        faults.append("%d bytes, more than %d" % (size, MAX_BYTES))
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    strings = version_strings(pe)
    expected = {"FileDescription": "Kelvane", "ProductName": "Kelvane", "CompanyName": "Orvik",
                "FileVersion": version, "ProductVersion": version}
    for key, value in expected.items():
        if strings.get(key) != value:
            faults.append("version record: %s is %r, not %r" % (key, strings.get(key), value))
    if not strings.get("LegalCopyright"):
        faults.append("version record: no LegalCopyright")
    text = manifest(pe)
    if not re.search(r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"', text):
        faults.append("manifest: no dependency on common controls 6")
    if 'level="asInvoker"' not in text:
        faults.append("manifest: no asInvoker")
    for fault in faults:
        print(path + ":", fault)
    print("%s: %d bytes, version %s, %d faults" % (path, size, strings.get("FileVersion"), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
