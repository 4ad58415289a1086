#!/bin/sh
# Benchmarks of the install screen's bulk paths, with the peer measured in the same run:
#
# 1. kestrane-bar info over COUNT BAR files of SIZE_MB each, against a Python zipfile script
#    (bar_info.py) that reads the same manifests and prints the same JSON lines (checked first).
# 2. The same files dropped on the window at once, until every row is listed (bench_install).
# 3. One installation whose tool writes 5 MB and 50 MB of output, read line by line for progress
#    through the real console runner (bench_install).
#
#   bench/install.sh [BUILD_DIR]    a Release or RelWithDebInfo build; default build-release/
#
# Environment: KESTRANE_BENCH_BAR_COUNT (1000), KESTRANE_BENCH_BAR_MB (3), KESTRANE_BENCH_RUNS (10);
# KESTRANE_BENCH_INFO_ONLY=1 runs benchmark 1 alone (no Qt build needed).
# The BAR files are written once to bench/data/bars-<COUNT>x<SIZE_MB>/ (make-bars.py); results go
# to bench/results/install-<date>-<time>/.
set -eu
BENCH=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$BENCH")
BUILD=$(cd "${1:-$ROOT/build-release}" && pwd)
COUNT=${KESTRANE_BENCH_BAR_COUNT:-1000}
SIZE_MB=${KESTRANE_BENCH_BAR_MB:-3}
RUNS=${KESTRANE_BENCH_RUNS:-10}

if grep -q '^KESTRANE_SANITIZE:BOOL=ON' "$BUILD/CMakeCache.txt"; then
  echo "bench: $BUILD is a sanitizer build" >&2
  exit 2
fi
INFO_ONLY=${KESTRANE_BENCH_INFO_ONLY:-0}
command -v hyperfine >/dev/null || "$BENCH/install-peers.sh"
if [ "$INFO_ONLY" = 1 ]; then
  cmake --build "$BUILD" --target kestrane-bar >/dev/null
else
  cmake --build "$BUILD" --target kestrane-bar bench_install >/dev/null
fi
BAR="$BUILD/bin/kestrane-bar"
DATA="$BENCH/data/bars-${COUNT}x${SIZE_MB}"
RESULTS="$BENCH/results/install-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$RESULTS"
python3 "$BENCH/make-bars.py" "$DATA" "$COUNT" "$SIZE_MB"
echo "/tmp: $(stat -f -c %T /tmp), /dev/shm: $(stat -f -c %T /dev/shm)" >"$RESULTS/machine.txt"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

echo "== 1. kestrane-bar info vs Python zipfile, $COUNT files of $SIZE_MB MB" | tee "$RESULTS/summary.txt"
(cd "$DATA" && "$BAR" info ./*.bar >"$RESULTS/kestrane-bar.jsonl") || true
(cd "$DATA" && python3 "$BENCH/bar_info.py" ./*.bar >"$RESULTS/python.jsonl") || true
if cmp -s "$RESULTS/kestrane-bar.jsonl" "$RESULTS/python.jsonl"; then
  echo "outputs: identical, $(wc -l <"$RESULTS/python.jsonl") lines" | tee -a "$RESULTS/summary.txt"
else
  echo "outputs DIFFER: see $RESULTS/*.jsonl" | tee -a "$RESULTS/summary.txt"
fi
# kestrane-bar decodes each manifest in memory and writes nothing to its private temporary folder;
# it is still timed with the default $TMPDIR (/tmp) and with a tmpfs, to show that the file
# system of $TMPDIR no longer matters.
TMPFS=/dev/shm
(cd "$DATA" && hyperfine --warmup 2 --runs "$RUNS" --export-json "$RESULTS/info.json" \
  -n kestrane-bar "'$BAR' info ./*.bar" \
  -n "kestrane-bar, TMPDIR=$TMPFS" "TMPDIR=$TMPFS '$BAR' info ./*.bar" \
  -n python "python3 '$BENCH/bar_info.py' ./*.bar") >"$RESULTS/info.txt"
python3 - "$RESULTS/info.json" <<'PY' | tee -a "$RESULTS/summary.txt"
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
for name, r in runs.items():
    print(f"{name}: median {r['median']:.3f} s, mean {r['mean']:.3f} +- {r['stddev']:.3f} s, "
          f"min {r['min']:.3f}, max {r['max']:.3f}")
for name in runs:
    if name.startswith("kestrane-bar"):
        ratio = runs[name]["median"] / runs["python"]["median"]
        print(f"{name} / python (medians): {ratio:.2f} x  (goal: under 0.3 x)")
PY

if [ "$INFO_ONLY" = 1 ]; then
  echo "results: $RESULTS"
  exit 0
fi

echo "== 2. and 3. drop $COUNT files; live progress of 5 and 50 MB" | tee -a "$RESULTS/summary.txt"
KESTRANE_BENCH_BARS="$DATA" "$BUILD/bench/bench_install" \
  --benchmark_out="$RESULTS/install.json" --benchmark_out_format=json 2>/dev/null |
  tee -a "$RESULTS/summary.txt"
python3 - "$RESULTS/install.json" <<'PY' | tee -a "$RESULTS/summary.txt"
import json, sys
rows = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
live = {n.split("/")[1]: b for n, b in rows.items() if n.startswith("BM_LiveProgress")}
if "5" in live and "50" in live:
    print(f"live progress: 50 MB / 5 MB time = {live['50']['real_time'] / live['5']['real_time']:.1f} x"
          f" (goal about 10 x); 50 MB at {live['50']['bytes_per_second'] / 1e6:.0f} MB/s"
          " (goal at least 100 MB/s)")
PY
echo "results: $RESULTS"
