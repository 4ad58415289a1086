#!/usr/bin/env python3
"""Turns one bench/run.sh result folder into ratios against the peers measured in the same run."""
import json
import os
import sys

results, data = sys.argv[1], sys.argv[2]


def load(name):
    with open(os.path.join(results, name + ".json")) as f:
        return {r["command"]: r for r in json.load(f)["results"]}


def read(name):
    with open(os.path.join(results, name)) as f:
        return f.read().split()


def line(label, seconds, extra=""):
    print("  %-18s %9.4f s %s" % (label, seconds, extra))


print("1. 100,000 entries: open and extract META-INF/MANIFEST.MF (mean of runs)")
many = load("many")
ours = many["kestrane-bar"]["mean"]
for name, r in many.items():
    ratio = "" if name == "kestrane-bar" else "(%.1f x kestrane-bar's time)" % (r["mean"] / ours)
    line(name, r["mean"], ratio)
print("  kestrane-bar peak memory: %.1f MiB" % (int(read("many.rss")[0]) / 1024))

print("\n2. one 1 GiB deflated entry")
big = load("big")
with open(os.path.join(data, "big.zip.raw")) as f:
    size = int(f.read().split()[2])
limit_s, limit_mbs = map(float, read("zlib_limit.txt"))
ours = big["kestrane-bar"]["mean"]
for name, r in big.items():
    mbs = size / r["mean"] / 1e6
    ratio = "" if name == "kestrane-bar" else ", %.2f x kestrane-bar's time" % (r["mean"] / ours)
    line(name, r["mean"], "(%.0f MB/s%s)" % (mbs, ratio))
line("zlib limit", limit_s, "(%.0f MB/s, in memory, no writing)" % limit_mbs)
print("  kestrane-bar / zlib limit: %.2f" % (size / ours / 1e6 / limit_mbs))
print("  kestrane-bar peak memory: %.1f MiB" % (int(read("big.rss")[0]) / 1024))

print("\n3. destroyed central directory: list (recovery scan)")
damaged = load("damaged")
with open(os.path.join(results, "damaged.exit")) as f:
    exits = dict(l.rsplit(" exit ", 1) for l in f.read().splitlines())
for name, r in damaged.items():
    mib = int(name.rsplit("-", 1)[1])
    path = os.path.join(data, "damaged-%d.zip" % mib)
    mbs = os.path.getsize(path) / r["mean"] / 1e6
    status = exits.get(name)
    note = "(%.0f MB/s%s)" % (mbs, "" if status in (None, "0") else ", exit %s" % status)
    line(name, r["mean"], note)
per_mb = [damaged["kestrane-bar-%d" % m]["mean"] / os.path.getsize(os.path.join(data, "damaged-%d.zip" % m)) * 1e6
          for m in (50, 100, 200)]
print("  kestrane-bar ms per MB at 50/100/200 MiB: %s" % " / ".join("%.3f" % (v * 1000) for v in per_mb))
