#!/bin/sh
# Installs what is missing, builds Kestrane and starts it, with the bundled device simulator as
# its deploy tool (build-release/bin/lib/BarDeploy.jar). It builds only the programs and what
# they load, in the test command's Release build (build-release/): after ./scripts/test.sh it
# starts at once, and the test command then builds only the tests.
set -eu
. "$(dirname "$0")/env.sh"
"$KESTRANE_ROOT/scripts/install-deps.sh"
build_programs
exec "$RELEASE_BUILD/bin/kestrane" "$@"
