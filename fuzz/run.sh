#!/bin/sh
# Builds the fuzzers (clang++-14, libFuzzer, ASan + UBSan) in build-fuzz/ and runs each in turn,
# sharing SECONDS between them, over a working corpus per target seeded every time:
#   zip_fuzzer            archives: the peer fixtures, past findings and generated archives
#   device_output_fuzzer  the deploy tool's output: fuzz/device-seeds and past findings
#   discovery_fuzzer      what hosts answer to discovery probes: fuzz/discovery-seeds
#   device_info_fuzzer    the device's information lines and dates: fuzz/device-info-seeds and
#                         the devices' answers of tests/deploy/fixtures/device-answers
#   sandbox_path_fuzzer   sandbox paths as users type them: fuzz/sandbox-path-seeds
# Reports executions, executions per second, peak memory and findings per target, and exits
# non-zero on any finding (crash, leak, timeout, memory blow-up, undefined behaviour); the input
# that caused it is kept in build-fuzz/findings/<target>/.
#
#   fuzz/run.sh SECONDS [TARGET...]      (all five when no target is named)
set -eu
SECONDS_TO_RUN=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
FUZZ=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$FUZZ")
BUILD=$ROOT/build-fuzz
ALL_TARGETS="zip_fuzzer device_output_fuzzer discovery_fuzzer device_info_fuzzer sandbox_path_fuzzer"
TARGETS=${*:-$ALL_TARGETS}
for target in $TARGETS; do
  case " $ALL_TARGETS " in
    *" $target "*) ;;
    *) echo "fuzz/run.sh: no target $target (targets: $ALL_TARGETS)" >&2; exit 2 ;;
  esac
done

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$FUZZ" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" --target $TARGETS make_seeds

# The working corpora keep what earlier runs found; the seeds are added every time.
seed() { # seed CORPUS FOLDER...
  corpus=$1
  shift
  mkdir -p "$corpus"
  for folder in "$@"; do
    [ -d "$folder" ] || continue
    find "$folder" -type f ! -name '*.json' ! -name '*.md' |
      while read -r file; do
        cp "$file" "$corpus/peer-$(basename "$(dirname "$file")")-$(basename "$file")"
      done
  done
}
seed "$FUZZ/corpus-work" "$ROOT/tests/zip/fixtures/zip-peers" "$ROOT/tests/zip/fixtures/fuzz-findings"
"$BUILD/make_seeds" "$FUZZ/corpus-work"
seed "$FUZZ/corpus-device-work" "$FUZZ/device-seeds" "$ROOT/tests/deploy/fixtures/fuzz-findings"
seed "$FUZZ/corpus-discovery-work" "$FUZZ/discovery-seeds"
seed "$FUZZ/corpus-device-info-work" "$FUZZ/device-info-seeds" \
  "$ROOT/tests/deploy/fixtures/device-answers"
seed "$FUZZ/corpus-sandbox-path-work" "$FUZZ/sandbox-path-seeds"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
# AddressSanitizer keeps up to 256 MB of freed memory in quarantine by default, which alone would
# reach the memory limit below in a long run; 32 MB still catches the use of recently freed memory.
case $ASAN_OPTIONS in
  *quarantine_size_mb*) ;;
  *) export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=32" ;;
esac
# Freed and reused blocks of 512 KiB and more (the decoding buffers) have their shadow cleared by
# giving the pages back to the system by default: a system call and a TLB flush on every core each
# time, about a fifth of the archive fuzzer's time on this machine. Clearing it in place is cheaper.
case $ASAN_OPTIONS in
  *clear_shadow_mmap_threshold*) ;;
  *) export ASAN_OPTIONS="$ASAN_OPTIONS:clear_shadow_mmap_threshold=67108864" ;;
esac
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The sanitizer keeps the stack of every allocation, walked by frame pointers. Debian's Qt is built
# without them, so a walk that passes a Qt frame reads stray words as return addresses: nearly
# every stack is new, and the store of stacks grew without end (the sandbox path target passed
# 470 MB resident in ten minutes with a live heap of 25 MB; flat at 108 MB with two frames). The
# targets over Qt keep two frames: the allocation and its caller. For a whole stack, run the
# finding's input again with ASAN_OPTIONS=malloc_context_size=30.
qt_context=""
case $ASAN_OPTIONS in
  *malloc_context_size*) ;;
  *) qt_context=":malloc_context_size=2" ;;
esac

count=0
for target in $TARGETS; do count=$((count + 1)); done
share=$((SECONDS_TO_RUN / count))
[ "$share" -ge 1 ] || share=1
echo "fuzzing for $SECONDS_TO_RUN s: $share s per target (logs: $BUILD/<target>.log)"

failed=""
report=""
for target in $TARGETS; do
  # The memory limits are low enough that an input which makes a reader copy far more than it
  # read (amplification) is a finding: no single allocation over 256 MB, no more than 512 MB
  # resident.
  context=$qt_context
  case $target in
    zip_fuzzer)
      context="" # no Qt: whole stacks
      # 72 KiB holds every seed, also the 70 KiB ones about the end-record search window.
      corpus=$FUZZ/corpus-work
      options="-max_len=73728 -timeout=20 -dict=$FUZZ/zip.dict" ;;
    device_output_fuzzer)
      # Long enough for long lines and many lines; a reader slower than linear in its input
      # shows as a timeout or slow unit at this length. (At 64 KiB a ten-minute run's corpus and
      # feature tables alone outgrew the memory limit, with every input replaying in 50 MB; the
      # volume of a 10 MB line and a million lines is the volume test's and benchmark's.)
      corpus=$FUZZ/corpus-device-work
      options="-max_len=16384 -timeout=10" ;;
    discovery_fuzzer)
      # Answers over the 64 KiB limit are cut off by the probe before any reader sees them (the
      # unit tests cover the limit); 4 KiB holds every device's answer several times.
      corpus=$FUZZ/corpus-discovery-work
      options="-max_len=4096 -timeout=10" ;;
    device_info_fuzzer)
      # A device's whole answer is under 2 KiB; 4 KiB holds it twice with room for long lines.
      corpus=$FUZZ/corpus-device-info-work
      options="-max_len=4096 -timeout=10" ;;
    sandbox_path_fuzzer)
      # A path is typed or pasted into one line; 1 KiB is longer than any the device takes.
      corpus=$FUZZ/corpus-sandbox-path-work
      options="-max_len=1024 -timeout=10" ;;
  esac
  findings=$BUILD/findings/$target
  log=$BUILD/$target.log
  mkdir -p "$findings"
  stamp=$BUILD/$target.started
  touch "$stamp"
  status=0
  # The processor time it got, where GNU time is at hand: on a shared machine executions per
  # processor second say more of the target's speed than executions per second.
  timer=""
  cpu=$BUILD/$target.cpu
  rm -f "$cpu"
  [ -x /usr/bin/time ] && timer="/usr/bin/time -f %U+%S -o $cpu"
  # Inputs that run fast get more of the mutation time, slow ones less. Otherwise a 60 KiB archive
  # that takes 50 ms is mutated as often as a 200-byte one taking 0.2 ms, and as the corpus fills
  # with large inputs the archive target slows to half its first minute's speed, for no more
  # coverage (fuzz/README.md, "Speed").
  # shellcheck disable=SC2086
  ASAN_OPTIONS="$ASAN_OPTIONS$context" $timer "$BUILD/$target" -max_total_time="$share" -rss_limit_mb=512 -malloc_limit_mb=256 \
    -entropic_scale_per_exec_time=1 $options \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
  stat() { sed -n "s/^stat::$1: *//p" "$log" | tail -n 1; }
  found=$(find "$findings" -type f -newer "$stamp" | wc -l)
  executions=$(stat number_of_executed_units)
  per_cpu=""
  if [ -s "$cpu" ] && [ -n "$executions" ]; then
    per_cpu=$(tail -n 1 "$cpu" | awk -v n="$executions" -F+ \
      '{ t = $1 + $2; if (t > 0) printf "  %.0f/s of processor (%.0f s)", n / t, t }')
  fi
  line=$(printf '%-22s %9s executions %6s/s%s  peak %4s MB  findings %s' "$target" \
    "$executions" "$(stat average_exec_per_sec)" "$per_cpu" "$(stat peak_rss_mb)" "$found")
  report="$report$line
"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "$target: finding (exit $status); inputs in $findings" >&2
    failed="$failed $target"
  fi
done
printf '%s' "$report"
if [ -n "$failed" ]; then
  echo "fuzzer findings:$failed" >&2
  exit 1
fi
echo "fuzzers: no findings"
