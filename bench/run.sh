#!/bin/sh
# Benchmarks kestrane-bar against Info-ZIP unzip, libarchive's bsdtar and Python's zipfile, side by
# side in one run, and reports ratios (bench/results/<time>/summary.txt). See bench/README.md.
#
#   bench/run.sh [BUILD_DIR]      BUILD_DIR defaults to build-release/ (a Release or RelWithDebInfo build)
#
# 1. open an archive of 100,000 small entries and extract META-INF/MANIFEST.MF
# 2. extract one 1 GiB deflated entry (and the zlib limit: raw inflate + CRC-32 from memory)
# 3. list archives of 50, 100 and 200 MiB whose central directory was destroyed
#
# Every tool does the same work: extraction writes the entry to a file in an empty folder that
# exists beforehand (in /dev/shm when possible, so that the disk does not dominate); listing
# writes the names to stdout (discarded). Before the timing each command runs once: its exit
# status, peak memory and result (content, size and CRC-32 of what it wrote, entries it listed)
# are checked and reported, so that a peer that fails or does less work shows as such.
#
# Environment: KESTRANE_BENCH_RUNS (runs per command, default 20 for 1 and 3, at most 10 for 2).
set -eu
BENCH=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$BENCH")
BUILD=$(cd "${1:-$ROOT/build-release}" && pwd)
RUNS=${KESTRANE_BENCH_RUNS:-20}
BIG_RUNS=$((RUNS < 10 ? RUNS : 10))

BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
case "$BUILD_TYPE" in
Release | RelWithDebInfo) ;;
*) echo "bench: $BUILD is a '$BUILD_TYPE' build; use Release or RelWithDebInfo" >&2; exit 2 ;;
esac
if grep -q '^KESTRANE_SANITIZE:BOOL=ON' "$BUILD/CMakeCache.txt"; then
  echo "bench: $BUILD is a sanitizer build" >&2
  exit 2
fi

"$BENCH/install-peers.sh"
python3 "$BENCH/make-data.py"
cmake --build "$BUILD" --target kestrane-bar >/dev/null
BAR="$BUILD/bin/kestrane-bar"
DATA="$BENCH/data"
RESULTS="$BENCH/results/$(date +%Y%m%d-%H%M%S)"
mkdir -p "$RESULTS"
gcc -O2 -o "$RESULTS/zlib_limit" "$BENCH/zlib_limit.c" -lz

if [ -d /dev/shm ] && [ -w /dev/shm ]; then SCRATCH=$(mktemp -d /dev/shm/kestrane-bench.XXXXXX)
else SCRATCH=$(mktemp -d); fi
trap 'rm -rf "$SCRATCH"' EXIT INT TERM
OUT="$SCRATCH/out"
PREPARE="sh -c 'rm -rf $OUT && mkdir -p $OUT'"
PY_EXTRACT='import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract(sys.argv[2], sys.argv[3])'
PY_LIST='import sys, zipfile; [print(i.filename) for i in zipfile.ZipFile(sys.argv[1]).infolist()]'

{
  echo "date: $(date -Is)"
  echo "build: $BUILD ($BUILD_TYPE), commit $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo ?)"
  echo "cpu: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(nproc) cores"
  echo "unzip: $(unzip -v | head -1)"
  echo "bsdtar: $(bsdtar --version)"
  echo "python: $(python3 --version 2>&1)"
  echo "hyperfine: $(hyperfine --version)"
  echo "scratch: $SCRATCH"
} >"$RESULTS/meta.txt"

# check NAME CHECKFILE WHAT ARGS... -- COMMAND...: runs a command once in an emptied $OUT and
# appends to CHECKFILE its exit status, peak resident memory, first error line and the check of
# its result (check.py WHAT ARGS; "@stdout" stands for the file that holds the command's output).
check() {
  name=$1 file=$2 what=$3
  shift 3
  args=""
  while [ "$1" != "--" ]; do args="$args $1"; shift; done
  shift
  rm -rf "$OUT" && mkdir -p "$OUT"
  status=0
  /usr/bin/time -f %M -o "$SCRATCH/rss" "$@" >"$SCRATCH/stdout" 2>"$SCRATCH/stderr" || status=$?
  # shellcheck disable=SC2086
  python3 "$BENCH/check.py" "$name" "$status" "$SCRATCH/rss" "$SCRATCH/stderr" "$what" \
    $(echo $args | sed "s|@stdout|$SCRATCH/stdout|") >>"$file"
}

echo "== 1: 100,000 entries, extract META-INF/MANIFEST.MF =="
MANY_CHECK="$RESULTS/many.check"
: >"$MANY_CHECK"
for tool in kestrane-bar unzip bsdtar python; do
  set -- $tool "$MANY_CHECK" extracted "$DATA/many.zip" META-INF/MANIFEST.MF "$OUT" --
  case $tool in
  kestrane-bar) check "$@" "$BAR" extract "$DATA/many.zip" META-INF/MANIFEST.MF "$OUT" ;;
  unzip) check "$@" unzip -qq -o "$DATA/many.zip" META-INF/MANIFEST.MF -d "$OUT" ;;
  bsdtar) check "$@" bsdtar -xf "$DATA/many.zip" -C "$OUT" META-INF/MANIFEST.MF ;;
  python) check "$@" python3 -c "$PY_EXTRACT" "$DATA/many.zip" META-INF/MANIFEST.MF "$OUT" ;;
  esac
done
hyperfine -N --warmup 5 --runs "$RUNS" --export-json "$RESULTS/many.json" --prepare "$PREPARE" \
  -n kestrane-bar "$BAR extract $DATA/many.zip META-INF/MANIFEST.MF $OUT" \
  -n unzip "unzip -qq -o $DATA/many.zip META-INF/MANIFEST.MF -d $OUT" \
  -n bsdtar "bsdtar -xf $DATA/many.zip -C $OUT META-INF/MANIFEST.MF" \
  -n python "python3 -c '$PY_EXTRACT' $DATA/many.zip META-INF/MANIFEST.MF $OUT"

echo "== 2: one 1 GiB deflated entry =="
BIG_CHECK="$RESULTS/big.check"
: >"$BIG_CHECK"
for tool in kestrane-bar-256 kestrane-bar unzip bsdtar python; do
  archive=$DATA/big.zip
  [ $tool = kestrane-bar-256 ] && archive=$DATA/big-256.zip
  set -- $tool "$BIG_CHECK" extracted "$archive" payload.bin "$OUT" --
  case $tool in
  kestrane-bar*) check "$@" "$BAR" extract "$archive" payload.bin "$OUT" ;;
  unzip) check "$@" unzip -qq -o "$archive" payload.bin -d "$OUT" ;;
  bsdtar) check "$@" bsdtar -xf "$archive" -C "$OUT" payload.bin ;;
  python) check "$@" python3 -c "$PY_EXTRACT" "$archive" payload.bin "$OUT" ;;
  esac
done
# Peak memory of kestrane-bar for the 256 MiB and the 1 GiB entry, three times each.
: >"$RESULTS/big.rss"
for archive in big-256 big big-256 big big-256 big; do
  rm -rf "$OUT" && mkdir -p "$OUT"
  /usr/bin/time -a -o "$RESULTS/big.rss" -f "$archive %M" \
    "$BAR" extract "$DATA/$archive.zip" payload.bin "$OUT" >/dev/null
done
rm -rf "$OUT"
set -- $(cat "$DATA/big.zip.raw")
"$RESULTS/zlib_limit" "$DATA/big.zip" "$1" "$2" "$3" "$BIG_RUNS" >"$RESULTS/zlib_limit.txt"
hyperfine -N --warmup 1 --runs "$BIG_RUNS" --export-json "$RESULTS/big.json" --prepare "$PREPARE" \
  -n kestrane-bar "$BAR extract $DATA/big.zip payload.bin $OUT" \
  -n unzip "unzip -qq -o $DATA/big.zip payload.bin -d $OUT" \
  -n bsdtar "bsdtar -xf $DATA/big.zip -C $OUT payload.bin" \
  -n python "python3 -c '$PY_EXTRACT' $DATA/big.zip payload.bin $OUT"
rm -rf "$OUT"

echo "== 3: destroyed central directory, list =="
DAMAGED_CHECK="$RESULTS/damaged.check"
: >"$DAMAGED_CHECK"
for mib in 50 100 200; do
  archive=$DATA/damaged-$mib.zip
  check kestrane-bar-$mib "$DAMAGED_CHECK" listed kestrane-bar "$archive" @stdout -- \
    "$BAR" list "$archive"
  check unzip-$mib "$DAMAGED_CHECK" listed lines "$archive" @stdout -- unzip -Z1 "$archive"
  check bsdtar-$mib "$DAMAGED_CHECK" listed lines "$archive" @stdout -- bsdtar -tf "$archive"
  check python-$mib "$DAMAGED_CHECK" listed lines "$archive" @stdout -- \
    python3 -c "$PY_LIST" "$archive"
done
# Peers that cannot list these archives (non-zero exit) are timed too, with -i, and reported as
# failed in the summary: their times are not comparable.
hyperfine -N -i --warmup 2 --runs "$RUNS" --export-json "$RESULTS/damaged.json" \
  -n kestrane-bar-50 "$BAR list $DATA/damaged-50.zip" \
  -n kestrane-bar-100 "$BAR list $DATA/damaged-100.zip" \
  -n kestrane-bar-200 "$BAR list $DATA/damaged-200.zip" \
  -n unzip-200 "unzip -Z1 $DATA/damaged-200.zip" \
  -n bsdtar-50 "bsdtar -tf $DATA/damaged-50.zip" \
  -n bsdtar-100 "bsdtar -tf $DATA/damaged-100.zip" \
  -n bsdtar-200 "bsdtar -tf $DATA/damaged-200.zip" \
  -n python-200 "python3 -c '$PY_LIST' $DATA/damaged-200.zip"

python3 "$BENCH/summarize.py" "$RESULTS" "$DATA" | tee "$RESULTS/summary.txt"
