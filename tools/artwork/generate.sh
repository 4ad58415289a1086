#!/bin/sh
# Redraws the committed pictures: builds the generator, runs it over resources/ and turns the
# donation button into a GIF whose window-frame grey background is transparent.
#
#   tools/artwork/generate.sh [BUILD_DIR]     (default: build-release, the run and test commands')
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-release}
cmake --build "$build" --target kestrane-artwork
QT_QPA_PLATFORM=offscreen "$build/tools/artwork/kestrane-artwork" "$root/resources"

# Qt cannot write GIF; ImageMagick's convert can (called by its full path: another "convert"
# may come first on PATH).
images=$root/resources/images
/usr/bin/convert "$images/donate.png" -alpha off -transparent '#646464' "$images/donate.gif"
rm "$images/donate.png"
echo "pictures written below $root/resources"
