#!/bin/sh
# Installs what is missing, builds Kestrane and starts it, with the bundled device simulator as
# its deploy tool (build/bin/lib/BarDeploy.jar).
set -eu
. "$(dirname "$0")/env.sh"
"$KESTRANE_ROOT/scripts/install-deps.sh"
configure_and_build "$KESTRANE_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$KESTRANE_ROOT/build/bin/kestrane" "$@"
