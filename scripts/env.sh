# Sourced by the scripts: settings every build and test run shares.
# Sourced from a script in scripts/, or from an interactive shell in the checkout's top folder.
KESTRANE_ROOT=${KESTRANE_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
[ -f "$KESTRANE_ROOT/CMakeLists.txt" ] || KESTRANE_ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)
# Qt warns on every start without a runtime folder of its own.
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  dir=$1
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$KESTRANE_ROOT" -B "$dir" -G Ninja "$@"
  fi
  cmake --build "$dir" -j "$JOBS"
}

# The Release build that the test command builds and tests (warnings as errors, tests on). The
# run command builds its programs in the same folder with the same options, so that neither
# command rebuilds what the other has built.
RELEASE_BUILD="$KESTRANE_ROOT/build-release"
RELEASE_OPTIONS="-DCMAKE_BUILD_TYPE=Release -DKESTRANE_WERROR=ON -DKESTRANE_BUILD_TESTS=ON"

# build_programs: builds in the Release build only what running Kestrane takes: the program, the
# command-line tools and, in bin/lib/, the device simulator (BarDeploy.jar), the TLS settings and
# the model pictures. (The command reaper is a fork of the program, not a program of its own.)
build_programs() {
  if [ ! -f "$RELEASE_BUILD/build.ninja" ]; then
    # shellcheck disable=SC2086
    cmake -S "$KESTRANE_ROOT" -B "$RELEASE_BUILD" -G Ninja $RELEASE_OPTIONS
  fi
  cmake --build "$RELEASE_BUILD" -j "$JOBS" --target kestrane kestrane-device kestrane-bar devicesim commandhost
}

# ccache, when installed, lets several build folders and checkouts share compiled objects.
if command -v ccache >/dev/null 2>&1 && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$KESTRANE_ROOT"
fi
