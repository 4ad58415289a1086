#!/usr/bin/env python3
"""Writes the benchmark archives into bench/data/ (skips those that exist).

many.zip       100,000 small deflated entries, META-INF/MANIFEST.MF first, as in a BAR file
big.zip        one deflated entry of 1 GiB (Zip64), plus big.zip.raw: "offset length size" of
               its raw deflate data, for the zlib reference
big-256.zip    the same with an entry of 256 MiB, to show that memory does not grow with it
damaged-N.zip  N MiB of entries whose central directory and end record were overwritten with
               zeros, so a reader has to rebuild the directory from the local headers
"""
import os
import random
import struct
import sys
import zipfile

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
MANIFEST = (b"Archive-Manifest-Version: 1.5\r\nApplication-Name: Bench App\r\n"
            b"Application-Version: 1.0.0.1\r\nPackage-Author: Kestrane\r\n"
            b"Entry-Point-Type: Qnx/Elf\r\n")
WORDS = [w.encode() for w in (
    "device package install progress archive manifest version deploy kestrane phone tablet "
    "cascades native signal slot window screen button label value result success failure "
    "network address password runtime java folder entry stream deflate inflate checksum").split()]


def text_block(rng, size):
    out = bytearray()
    while len(out) < size:
        out += rng.choice(WORDS)
        out += b" " if rng.random() < 0.9 else b"\n"
        if rng.random() < 0.05:
            out += str(rng.randrange(1 << 30)).encode()
    return bytes(out[:size])


def make_many(path, count=100_000):
    rng = random.Random(1)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", MANIFEST)
        for i in range(count - 1):
            name = "native/assets/d%03d/file%06d.txt" % (i % 997, i)
            z.writestr(name, text_block(rng, 64 + i % 200))


def make_big(path, size=1 << 30):
    rng = random.Random(2)
    blocks = [text_block(rng, 1 << 20) for _ in range(16)]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        with z.open("payload.bin", "w", force_zip64=True) as f:
            for i in range(size >> 20):
                f.write(blocks[i % len(blocks)][: (1 << 20) - 8] + struct.pack("<Q", i))
    with zipfile.ZipFile(path) as z:
        info = z.getinfo("payload.bin")
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        name_len, extra_len = struct.unpack("<HH", header[26:30])
    offset = info.header_offset + 30 + name_len + extra_len
    with open(path + ".raw", "w") as f:
        f.write("%d %d %d\n" % (offset, info.compress_size, info.file_size))


def make_damaged(path, mib):
    rng = random.Random(3)
    entry = 256 << 10
    with zipfile.ZipFile(path, "w") as z:
        for i in range(mib * 5):
            if i % 2:
                z.writestr("res/raw%05d.bin" % i, rng.randbytes(entry), zipfile.ZIP_STORED)
            else:
                z.writestr("res/text%05d.txt" % i, text_block(rng, entry * 3), zipfile.ZIP_DEFLATED)
        directory_start = z.start_dir
    size = os.path.getsize(path)
    with open(path, "r+b") as f:
        f.seek(directory_start)
        f.write(b"\0" * (size - directory_start))


def main():
    os.makedirs(DATA, exist_ok=True)
    jobs = [("many.zip", make_many), ("big.zip", make_big),
            ("big-256.zip", lambda p: make_big(p, 256 << 20))]
    for mib in (50, 100, 200):
        jobs.append(("damaged-%d.zip" % mib, lambda p, m=mib: make_damaged(p, m)))
    for name, make in jobs:
        path = os.path.join(DATA, name)
        if os.path.exists(path):
            continue
        print("writing", path, file=sys.stderr)
        make(path + ".part")
        if os.path.exists(path + ".part.raw"):
            os.replace(path + ".part.raw", path + ".raw")
        os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
