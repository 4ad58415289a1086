#!/bin/sh
# Installs what is missing, then builds and runs every test: a Release build, the Debian package
# (built from that build, unpacked and driven), the same suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the fuzzers. Exits non-zero on any failure.
set -eu
. "$(dirname "$0")/env.sh"
"$KESTRANE_ROOT/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$KESTRANE_ROOT/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Builds with warnings as errors. A folder configured earlier is given the options again, since
# configure_and_build configures a folder only once.
build_strict() {
  dir=$1
  shift
  if [ -f "$dir/CMakeCache.txt" ]; then
    cmake "$dir" -DKESTRANE_WERROR=ON -DKESTRANE_BUILD_TESTS=ON "$@" >/dev/null
  fi
  configure_and_build "$dir" -DKESTRANE_WERROR=ON -DKESTRANE_BUILD_TESTS=ON "$@"
}

# The normal build is a Release build, as packagers build it (-O3 brings warnings of its own);
# the debug build is the sanitizer one. The Release build is also the run command's, which
# builds the programs in it: what it built is not built again here.
echo "== Release build =="
# shellcheck disable=SC2086
build_strict "$RELEASE_BUILD" $RELEASE_OPTIONS
ctest --test-dir "$RELEASE_BUILD" --output-on-failure --no-tests=error -j "$JOBS"

echo "== Debian package (from the Release build, unpacked and driven on Xvfb) =="
"$KESTRANE_ROOT/packaging/test-package.sh"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
build_strict "$KESTRANE_ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKESTRANE_SANITIZE=ON
ctest --test-dir "$KESTRANE_ROOT/build-asan" --output-on-failure --no-tests=error -j "$JOBS"

if [ -x "$KESTRANE_ROOT/fuzz/run.sh" ]; then
  echo "== fuzzers =="
  "$KESTRANE_ROOT/fuzz/run.sh" "${KESTRANE_FUZZ_SECONDS:-60}"
fi
echo "All tests passed."
