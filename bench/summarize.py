#!/usr/bin/env python3
"""Turns one bench/run.sh result folder into tables, with ratios against the peers measured in
the same run. Times are hyperfine's wall-clock times of whole commands: the median, the mean with
its standard deviation, and the fastest and slowest run."""
import json
import os
import statistics
import sys

results, data = sys.argv[1], sys.argv[2]


def load_times(name):
    with open(os.path.join(results, name + ".json")) as f:
        return {r["command"]: r for r in json.load(f)["results"]}


def load_checks(name):
    with open(os.path.join(results, name + ".check")) as f:
        return {r["name"]: r for r in map(json.loads, f.read().splitlines())}


def mib(kib):
    return "-" if kib is None else "%.1f MiB" % (kib / 1024)


def spread(r):
    return "%8.4f  %8.4f ± %.4f  %.4f–%.4f" % (r["median"], r["mean"], r["stddev"] or 0,
                                              r["min"], r["max"])


def verdict(check):
    if check is None:
        return "not checked"
    text = check["check"]
    if check["exit"] != 0:
        text = "FAILED: exit %d (%s); %s" % (check["exit"], check["stderr"] or "no message", text)
    return text


HEADER = "  %-18s %8s  %-17s  %-15s" % ("command", "median", "mean ± sd", "min–max")

with open(os.path.join(results, "meta.txt")) as f:
    print(f.read())

print("1. 100,000 entries: open and extract META-INF/MANIFEST.MF (seconds)")
times, checks = load_times("many"), load_checks("many")
ours = times["kestrane-bar"]["median"]
print(HEADER + "  ratio    peak RSS   result")
for name, r in times.items():
    c = checks.get(name, {})
    print("  %-18s %s  %5.1f x  %9s  %s" % (name, spread(r), r["median"] / ours,
                                            mib(c.get("rss_kib")), verdict(c or None)))
print("  (ratio: the command's median time over kestrane-bar's)")

print("\n2. one 1 GiB deflated entry, extracted to a file (seconds)")
times, checks = load_times("big"), load_checks("big")
with open(os.path.join(data, "big.zip.raw")) as f:
    size = int(f.read().split()[2])
with open(os.path.join(results, "zlib_limit.txt")) as f:
    limit_runs = [float(v) for v in f.read().split()]
limit = statistics.median(limit_runs)
ours = times["kestrane-bar"]["median"]
print(HEADER + "  MB/s   ratio    peak RSS   result")
for name, r in times.items():
    c = checks.get(name, {})
    print("  %-18s %s  %5.0f  %5.2f x  %9s  %s" % (
        name, spread(r), size / r["median"] / 1e6, r["median"] / ours, mib(c.get("rss_kib")),
        verdict(c or None)))
print("  %-18s %8.4f  (%d runs, fastest %.4f)  %5.0f  inflate + CRC-32 from memory, no file"
      % ("zlib limit", limit, len(limit_runs), min(limit_runs), size / limit / 1e6))
print("  kestrane-bar / zlib limit (throughput, medians): %.2f" % (limit / ours))
rss = {}
with open(os.path.join(results, "big.rss")) as f:
    for archive, kib in (line.split() for line in f if line.strip()):
        rss.setdefault(archive, []).append(int(kib))
print("  kestrane-bar peak RSS over %d runs each: %s for the 256 MiB entry, %s for the 1 GiB entry"
      % (len(rss["big"]), " / ".join(mib(k) for k in rss["big-256"]),
         " / ".join(mib(k) for k in rss["big"])))
print("  (256 MiB entry extracted: %s)" % verdict(checks.get("kestrane-bar-256")))

print("\n3. destroyed central directory: list (recovery scan; seconds)")
times, checks = load_times("damaged"), load_checks("damaged")
print(HEADER + "  MB/s   peak RSS   result")
for name, r in times.items():
    mib_size = int(name.rsplit("-", 1)[1])
    path = os.path.join(data, "damaged-%d.zip" % mib_size)
    c = checks.get(name, {})
    listed = " (%d entries listed, output %s)" % (c["entries"], c["sha256"]) if c else ""
    print("  %-18s %s  %5.0f  %9s  %s%s" % (name, spread(r), os.path.getsize(path) / r["median"] / 1e6,
                                          mib(c.get("rss_kib")), verdict(c or None), listed))
for name in sorted(checks, key=lambda n: (n.rsplit("-", 1)[0], int(n.rsplit("-", 1)[1]))):
    if name not in times:
        c = checks[name]
        print("  %-18s %s (not timed)" % (name, verdict(c)))
sizes = {m: os.path.getsize(os.path.join(data, "damaged-%d.zip" % m)) for m in (50, 100, 200)}
ours = {m: times["kestrane-bar-%d" % m]["median"] for m in sizes}
print("  kestrane-bar ms per MB at 50 / 100 / 200 MiB: %s" % " / ".join(
    "%.3f" % (ours[m] / sizes[m] * 1e9) for m in sizes))
# Least-squares line through the three medians: time = fixed + per_mb * size.
xs = [sizes[m] / 1e6 for m in sizes]
ys = [ours[m] * 1e3 for m in sizes]
mean_x, mean_y = statistics.mean(xs), statistics.mean(ys)
per_mb = sum((x - mean_x) * (y - mean_y) for x, y in zip(xs, ys)) / sum((x - mean_x) ** 2 for x in xs)
fixed = mean_y - per_mb * mean_x
worst = max(abs(y - (fixed + per_mb * x)) / y for x, y in zip(xs, ys))
print("  kestrane-bar fit: %.2f ms + %.4f ms per MB (%.0f MB/s marginal); largest deviation "
      "from the line %.1f %%; time(200) / time(50) = %.2f for a size ratio of %.2f" % (
          fixed, per_mb, 1e3 / per_mb, worst * 100, ours[200] / ours[50], sizes[200] / sizes[50]))
