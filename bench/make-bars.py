#!/usr/bin/env python3
"""Writes COUNT BAR files of about SIZE_MB each into FOLDER for bench/install.sh (kept when
already there): a deflated META-INF/MANIFEST.MF first, a few small deflated entries and one stored
asset of random bytes, as BAR files of packaged applications look. Application names are
"Bench App 0001" and so on, so that no name contains another one.

    make-bars.py FOLDER COUNT SIZE_MB
"""
import os
import sys
import zipfile


def manifest(number):
    return (
        "Archive-Manifest-Version: 1.5\r\n"
        "Archive-Created-By: Kestrane benchmarks\r\n"
        f"Package-Author: Bench Author {number}\r\n"
        f"Package-Name: com.example.bench{number:04d}\r\n"
        "Package-Version: 1.0.0.1\r\n"
        "Package-Type: application\r\n"
        f"Application-Name: Bench App {number:04d}\r\n"
        f"Application-Version: 1.0.{number}\r\n"
        "Entry-Point-Type: Qnx/Elf\r\n"
        "Entry-Point: storage/native/app\r\n"
    ).encode()


def main():
    folder, count, size_mb = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    os.makedirs(folder, exist_ok=True)
    asset = os.urandom(int(size_mb * (1 << 20)))
    for number in range(1, count + 1):
        path = os.path.join(folder, f"bench-{number:04d}.bar")
        if os.path.exists(path) and os.path.getsize(path) >= len(asset):
            continue
        with zipfile.ZipFile(path + ".part", "w") as bar:
            bar.writestr("META-INF/MANIFEST.MF", manifest(number), zipfile.ZIP_DEFLATED)
            for name in ("native/bar-descriptor.xml", "native/icon.png", "META-INF/AUTHOR.SF"):
                bar.writestr(name, f"<{name} of {number}>\n" * 50, zipfile.ZIP_DEFLATED)
            bar.writestr("native/app", asset, zipfile.ZIP_STORED)
        os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
