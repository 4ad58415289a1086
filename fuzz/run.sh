#!/bin/sh
# Builds the archive fuzzer (clang++-14, libFuzzer, ASan + UBSan) in build-fuzz/ and runs it for
# SECONDS over a working corpus seeded from the peer fixtures and generated archives. Exits
# non-zero on any finding: crash, leak, timeout, memory blow-up or undefined behaviour; the
# input that caused it is kept in build-fuzz/findings/.
#
#   fuzz/run.sh SECONDS
set -eu
SECONDS_TO_RUN=${1:?usage: fuzz/run.sh SECONDS}
FUZZ=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$FUZZ")
BUILD=$ROOT/build-fuzz
CORPUS=$FUZZ/corpus-work
FINDINGS=$BUILD/findings

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$FUZZ" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" --target zip_fuzzer make_seeds

# The working corpus keeps what earlier runs found; the seeds are added every time.
mkdir -p "$CORPUS" "$FINDINGS"
find "$ROOT/tests/zip/fixtures/zip-peers" "$ROOT/tests/zip/fixtures/fuzz-findings" -type f ! -name '*.json' ! -name '*.md' |
  while read -r seed; do
    cp "$seed" "$CORPUS/peer-$(basename "$(dirname "$seed")")-$(basename "$seed")"
  done
"$BUILD/make_seeds" "$CORPUS"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
# AddressSanitizer keeps up to 256 MB of freed memory in quarantine by default, which alone would
# reach the memory limit below in a long run; 32 MB still catches the use of recently freed memory.
case $ASAN_OPTIONS in
  *quarantine_size_mb*) ;;
  *) export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=32" ;;
esac
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
LOG=$BUILD/fuzz.log
echo "fuzzing for $SECONDS_TO_RUN s (log: $LOG)"
# 72 KiB holds every seed, also the 70 KiB ones about the end-record search window. The memory
# limits are low enough that an input which makes the component copy far more than it read
# (amplification) is a finding.
status=0
"$BUILD/zip_fuzzer" -max_total_time="$SECONDS_TO_RUN" -max_len=73728 -timeout=20 \
  -rss_limit_mb=256 -malloc_limit_mb=256 -dict="$FUZZ/zip.dict" -print_final_stats=1 \
  -artifact_prefix="$FINDINGS/" "$CORPUS" >"$LOG" 2>&1 || status=$?
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$LOG" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$LOG"
  echo "fuzzer finding (exit $status); inputs in $FINDINGS" >&2
  exit "$status"
fi
echo "fuzzer: no findings"
