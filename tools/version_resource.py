#!/usr/bin/python3
"""Reads the version resource of a Windows exe, with Debian's python3-pefile.

    tools/version_resource.py EXE     prints it as JSON

{"file_version": "2.30.0.0", "product_version": "2.30.0.0",
 "language": 1031, "strings": {"FileVersion": "2.30", ...}}; an exe
without a version resource gives {}. tools/build_msi.py writes the file
version into the installer's File table; the installer test compares it
with the file VERSION.
"""
import json
import sys

import pefile


def four_parts(most, least):
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def read(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        return {}
    fixed = pe.VS_FIXEDFILEINFO[0]
    found = {"file_version": four_parts(fixed.FileVersionMS, fixed.FileVersionLS),
             "product_version": four_parts(fixed.ProductVersionMS, fixed.ProductVersionLS),
             "language": None, "strings": {}}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        for table in getattr(info, "StringTable", []):
            # The block's name is the language and code page in hex (040704E4).
            found["language"] = int(table.LangID[:4], 16)
            found["strings"].update({key.decode("cp1252"): value.decode("cp1252")
                                     for key, value in table.entries.items()})
    return found


if __name__ == "__main__":
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    print(json.dumps(read(sys.argv[1]), ensure_ascii=False, sort_keys=True))
