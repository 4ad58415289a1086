#!/bin/sh
# Installs what is missing, then builds and runs every test: the normal build, the Debian
# package (built, unpacked and driven), the same suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the archive fuzzer. Exits non-zero on any failure.
set -eu
. "$(dirname "$0")/env.sh"
"$KESTRANE_ROOT/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$KESTRANE_ROOT/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== normal build =="
configure_and_build "$KESTRANE_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$KESTRANE_ROOT/build" --output-on-failure --no-tests=error -j "$JOBS"

echo "== Debian package (Release build, unpacked and driven on Xvfb) =="
"$KESTRANE_ROOT/packaging/test-package.sh"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
configure_and_build "$KESTRANE_ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKESTRANE_SANITIZE=ON
ctest --test-dir "$KESTRANE_ROOT/build-asan" --output-on-failure --no-tests=error -j "$JOBS"

if [ -x "$KESTRANE_ROOT/fuzz/run.sh" ]; then
  echo "== archive fuzzer =="
  "$KESTRANE_ROOT/fuzz/run.sh" "${KESTRANE_FUZZ_SECONDS:-60}"
fi
echo "All tests passed."
