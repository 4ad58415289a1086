#!/bin/sh
# Re-makes the screenshots of the README and the AppStream metadata (resources/screenshots/):
# builds Kestrane (its programs, in build-release/, as the run command does), starts it on Xvfb with the bundled device simulator, connects to the
# simulated Z30 and grabs the main, install and manage screens (tools/window-tour.sh).
# Safe to run again at any time; it replaces the three pictures.
set -eu
. "$(dirname "$0")/../scripts/env.sh"
"$KESTRANE_ROOT/scripts/install-deps.sh"
build_programs
shots="$KESTRANE_ROOT/resources/screenshots"
"$KESTRANE_ROOT/tools/window-tour.sh" "$RELEASE_BUILD/bin/kestrane" "$shots"
# Smaller files for the repository: no metadata, the best zlib compression.
for shot in main install manage; do
  /usr/bin/convert "$shots/$shot.png" -strip -define png:compression-level=9 "$shots/$shot.png"
done
ls -l "$shots"
