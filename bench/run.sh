#!/bin/sh
# Benchmarks kestrane-bar against Info-ZIP unzip, libarchive's bsdtar and Python's zipfile, side by
# side in one run, and reports ratios (bench/results/<time>/summary.txt).
#
#   bench/run.sh [BUILD_DIR]      BUILD_DIR defaults to build/ (a release-like build)
#
# 1. open an archive of 100,000 small entries and extract META-INF/MANIFEST.MF
# 2. extract one 1 GiB deflated entry (and the zlib limit: raw inflate + CRC-32 from memory)
# 3. list archives of 50, 100 and 200 MiB whose central directory was destroyed
set -eu
BENCH=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$BENCH")
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
RUNS=${KESTRANE_BENCH_RUNS:-10}

"$BENCH/install-peers.sh"
python3 "$BENCH/make-data.py"
cmake --build "$BUILD" --target kestrane-bar >/dev/null
BAR="$BUILD/bin/kestrane-bar"
DATA="$BENCH/data"
RESULTS="$BENCH/results/$(date +%Y%m%d-%H%M%S)"
mkdir -p "$RESULTS"
gcc -O2 -o "$RESULTS/zlib_limit" "$BENCH/zlib_limit.c" -lz

# Extraction targets in memory where possible, so that the disk does not dominate.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then SCRATCH=$(mktemp -d /dev/shm/kestrane-bench.XXXXXX)
else SCRATCH=$(mktemp -d); fi
trap 'rm -rf "$SCRATCH"' EXIT INT TERM
OUT="$SCRATCH/out"
PY_EXTRACT='import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract(sys.argv[2], sys.argv[3])'
PY_LIST='import sys, zipfile; [i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist()]'

peak_kib() { # peak resident memory of one run, in KiB
  /usr/bin/time -f %M -o "$SCRATCH/rss" "$@" >/dev/null 2>&1 || true
  cat "$SCRATCH/rss"
}

echo "== 1: 100,000 entries, extract META-INF/MANIFEST.MF =="
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$RESULTS/many.json" \
  --prepare "rm -rf $OUT" \
  -n kestrane-bar "$BAR extract $DATA/many.zip META-INF/MANIFEST.MF $OUT" \
  -n unzip "unzip -qq -o $DATA/many.zip META-INF/MANIFEST.MF -d $OUT" \
  -n bsdtar "sh -c 'mkdir -p $OUT && bsdtar -xf $DATA/many.zip -C $OUT META-INF/MANIFEST.MF'" \
  -n python "python3 -c '$PY_EXTRACT' $DATA/many.zip META-INF/MANIFEST.MF $OUT"
peak_kib "$BAR" extract "$DATA/many.zip" META-INF/MANIFEST.MF "$OUT" > "$RESULTS/many.rss"

echo "== 2: one 1 GiB deflated entry =="
set -- $(cat "$DATA/big.zip.raw")
"$RESULTS/zlib_limit" "$DATA/big.zip" "$1" "$2" "$3" 5 > "$RESULTS/zlib_limit.txt"
hyperfine -N --warmup 1 --runs "$(( RUNS < 5 ? RUNS : 5 ))" --export-json "$RESULTS/big.json" \
  --prepare "rm -rf $OUT" \
  -n kestrane-bar "$BAR extract $DATA/big.zip payload.bin $OUT" \
  -n unzip "unzip -qq -o $DATA/big.zip -d $OUT" \
  -n bsdtar "sh -c 'mkdir -p $OUT && bsdtar -xf $DATA/big.zip -C $OUT'" \
  -n python "python3 -c '$PY_EXTRACT' $DATA/big.zip payload.bin $OUT"
rm -rf "$OUT"
peak_kib "$BAR" extract "$DATA/big.zip" payload.bin "$OUT" > "$RESULTS/big.rss"
rm -rf "$OUT"

echo "== 3: destroyed central directory, list =="
hyperfine -N -i --warmup 2 --runs "$RUNS" --export-json "$RESULTS/damaged.json" \
  -n kestrane-bar-50 "$BAR list $DATA/damaged-50.zip" \
  -n kestrane-bar-100 "$BAR list $DATA/damaged-100.zip" \
  -n kestrane-bar-200 "$BAR list $DATA/damaged-200.zip" \
  -n unzip-200 "unzip -l $DATA/damaged-200.zip" \
  -n bsdtar-200 "bsdtar -tf $DATA/damaged-200.zip" \
  -n python-200 "python3 -c '$PY_LIST' $DATA/damaged-200.zip"
{ unzip -l "$DATA/damaged-200.zip" >/dev/null 2>&1; echo "unzip-200 exit $?"
  bsdtar -tf "$DATA/damaged-200.zip" >/dev/null 2>&1; echo "bsdtar-200 exit $?"
  python3 -c "$PY_LIST" "$DATA/damaged-200.zip" >/dev/null 2>&1; echo "python-200 exit $?"
  "$BAR" list "$DATA/damaged-200.zip" >/dev/null 2>&1; echo "kestrane-bar-200 exit $?"
} > "$RESULTS/damaged.exit"

python3 "$BENCH/summarize.py" "$RESULTS" "$DATA" | tee "$RESULTS/summary.txt"
