#!/usr/bin/env python3
"""The peer of `kestrane-bar info`: the same JSON line per BAR file, read with Python's zipfile
(the manifest found whatever its letter case, the last such entry, parsed as Kestrane parses it).

    bar_info.py FILE...
"""
import json
import os
import sys
import zipfile

KEYS = {"Application-Name:": "name", "Application-Version:": "version",
        "Package-Author:": "author", "Entry-Point-Type:": "type"}
TYPES = {"qnx/air": "Flash Air", "qnx/android": "Android"}


def info(path):
    with zipfile.ZipFile(path) as bar:
        entries = [i for i in bar.infolist() if i.filename.upper() == "META-INF/MANIFEST.MF"]
        if not entries:
            raise OSError("no manifest")
        data = bar.read(entries[-1])
    text = data.decode("utf-8", "replace").split("\0")[0]
    fields = {"name": "", "version": "", "author": "", "type": ""}
    for line in text.splitlines():
        for key, field in KEYS.items():
            if line.startswith(key):
                value = line[len(key):].strip(" \t\r\n\0")
                fields[field] = TYPES.get(value.lower(), "Native") if field == "type" else value
    return fields


def main():
    failed = False
    out = sys.stdout
    for path in sys.argv[1:]:
        try:
            line = {"file": path, **info(path), "size": os.path.getsize(path)}
        except Exception as error:  # pylint: disable=broad-except
            line = {"file": path, "error": str(error)}
            failed = True
        out.write(json.dumps(line, ensure_ascii=False, separators=(",", ":")) + "\n")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
