#!/usr/bin/env python3
"""Checks what one benchmarked command did, and prints it as one JSON line.

  check.py NAME EXIT RSS_FILE STDERR_FILE extracted ARCHIVE ENTRY FOLDER
      FOLDER must hold exactly the entry, with the size and CRC-32 the archive states.
  check.py NAME EXIT RSS_FILE STDERR_FILE listed FORMAT ARCHIVE STDOUT_FILE
      STDOUT_FILE must list the entries make-data.py wrote into a damaged-N.zip, in order.
      FORMAT: kestrane-bar (its JSON) or lines (one name a line).
"""
import hashlib
import json
import os
import re
import sys
import zipfile
import zlib


def crc_of(path):
    crc = 0
    with open(path, "rb") as f:
        while block := f.read(1 << 20):
            crc = zlib.crc32(block, crc)
    return crc


def check_extracted(archive, entry, folder):
    info = zipfile.ZipFile(archive).getinfo(entry)
    files = [os.path.relpath(os.path.join(d, n), folder)
             for d, _, names in os.walk(folder) for n in names]
    if files != [entry]:
        return "wrote %s instead of %s" % (files[:3], entry)
    path = os.path.join(folder, entry)
    size = os.path.getsize(path)
    if size != info.file_size:
        return "size %d, expected %d" % (size, info.file_size)
    if crc_of(path) != info.CRC:
        return "CRC-32 differs"
    return "ok"


def expected_damaged_names(archive):
    mib = int(re.search(r"damaged-(\d+)\.zip$", archive).group(1))
    return ["res/raw%05d.bin" % i if i % 2 else "res/text%05d.txt" % i for i in range(mib * 5)]


def check_listed(fmt, archive, stdout_path):
    with open(stdout_path, "rb") as f:
        output = f.read()
    if fmt == "kestrane-bar":
        try:
            names = [e["name"] for e in json.loads(output)["entries"]]
        except ValueError:
            names = []
    else:
        names = [line for line in output.decode("utf-8", "replace").splitlines() if line]
    expected = expected_damaged_names(archive)
    result = "ok" if names == expected else "listed %d of %d entries%s" % (
        len([n for n in names if n in set(expected)]), len(expected),
        "" if set(names) <= set(expected) else " (and others)")
    return result, len(names), hashlib.sha256(output).hexdigest()[:16]


def main():
    name, status, rss_file, stderr_file, mode = sys.argv[1:6]
    args = sys.argv[6:]
    with open(rss_file) as f:
        rss = [line for line in f.read().splitlines() if line.strip().isdigit()]
    with open(stderr_file, errors="replace") as f:
        errors = [line.strip() for line in f if line.strip()]
    if errors and errors[0].startswith("Traceback"):
        errors = errors[-1:]  # Python: the exception, not the stack
    errors = [e for e in errors if not (e.startswith("[") and e.endswith("]"))]  # unzip's file name
    record = {"name": name, "exit": int(status), "rss_kib": int(rss[-1]) if rss else None,
              "stderr": errors[0][:120] if errors else ""}
    if mode == "extracted":
        record["check"] = check_extracted(*args)
    else:
        record["check"], record["entries"], record["sha256"] = check_listed(*args)
    print(json.dumps(record))


if __name__ == "__main__":
    main()
