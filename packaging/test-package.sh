#!/bin/sh
# Builds the Debian package as a packager does (Release, the program only), unpacks it into a
# throw-away root, checks what it holds and declares, drives the unpacked program through its
# launcher against the bundled simulator (tools/window-tour.sh), and removes the root again.
# The package is never installed into the system: the test runs beside other builds and as any
# user, and leaves nothing behind.
set -eu
. "$(dirname "$0")/../scripts/env.sh"

fail() {
  echo "test-package: $*" >&2
  exit 1
}

# The test command's Release build when it is there (tests are not installed, so they do not
# reach the package); otherwise one is made here.
build="$KESTRANE_ROOT/build-release"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release
rm -f "$build"/kestrane_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
  cat "$build/cpack.log"
  fail "cpack could not build the package"
}
deb=$(ls "$build"/kestrane_*.deb)
echo "test-package: built $deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
trap 'exit 1' INT TERM HUP
dpkg-deb -x "$deb" "$root"
app="$root/usr/lib/kestrane"

# The whole program beside its executable, the launchers, the desktop integration.
for file in kestrane kestrane-bar kestrane-device; do
  [ -x "$app/$file" ] || fail "$file is missing from usr/lib/kestrane"
  [ "$(readlink -f "$root/usr/bin/$file")" = "$app/$file" ] || fail "usr/bin/$file does not lead to it"
done
for file in BarDeploy.jar CommandHost.jar deploy-tls.security blackberry-Z30.jpg blackberry-Q10.jpg \
  blackberry-playbook.jpg; do
  [ -s "$app/lib/$file" ] || fail "lib/$file is missing"
done
for size in 16 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x$size/apps/kestrane.png"
  identify -format '%wx%h' "$icon" | grep -qx "${size}x$size" || fail "no ${size}x$size icon"
done
desktop-file-validate --no-hints "$root/usr/share/applications/kestrane.desktop" ||
  fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.kestrane.Kestrane.metainfo.xml" \
  >"$root.appstream.log" 2>&1 || {
  cat "$root.appstream.log"
  rm -f "$root.appstream.log"
  fail "the AppStream metadata does not validate"
}
rm -f "$root.appstream.log"

# The command-line tools' manual pages, gzipped as Debian wants them, render without a warning;
# their bash completions parse and offer the commands.
for tool in kestrane-device kestrane-bar; do
  page="$root/usr/share/man/man1/$tool.1.gz"
  gzip -t "$page" 2>/dev/null || fail "no gzipped manual page usr/share/man/man1/$tool.1.gz"
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww 2>&1 >/dev/null) ||
    fail "groff cannot render $tool.1"
  [ -z "$warnings" ] || fail "$tool.1 renders with warnings: $warnings"
  zcat "$page" | groff -man -Tutf8 -P-cbou 2>/dev/null | grep -q "EXIT STATUS" ||
    fail "$tool.1 has no EXIT STATUS section"
  completion="$root/usr/share/bash-completion/completions/$tool"
  bash -n "$completion" || fail "bash does not accept the completion of $tool"
done
"$KESTRANE_ROOT/tests/cli/completion-test.sh" \
  "$root/usr/share/bash-completion/completions/kestrane-device" \
  "$root/usr/share/bash-completion/completions/kestrane-bar" >"$root.completion.log" 2>&1 || {
  cat "$root.completion.log"
  rm -f "$root.completion.log"
  fail "the installed completions do not complete as they should"
}
rm -f "$root.completion.log"

# Declared dependencies: Qt 6, QtKeychain, zlib, libjpeg and Java 17 or later, each group
# satisfied here
# (this machine has what the package needs, so an unknown or misspelt name shows).
depends=$(dpkg-deb -f "$deb" Depends)
for name in libqt6widgets6 libqt6network6 libqt6keychain1 zlib1g libjpeg62-turbo \
  "default-jre-headless (>= 2:1.17) | openjdk-17-jre-headless"; do
  echo "$depends" | grep -qF "$name" || fail "Depends lacks $name: $depends"
done
# True when the alternative $1 (a name and maybe "(op version)") is installed here.
installed() {
  name=$(echo "$1" | sed 's/[ (].*//')
  version=$(dpkg-query -W -f='${db:Status-Status} ${Version}' "$name" 2>/dev/null |
    sed -n 's/^installed //p') || return 1
  [ -n "$version" ] || return 1
  constraint=$(echo "$1" | sed -n 's/.*(\(.*\)).*/\1/p')
  [ -z "$constraint" ] || dpkg --compare-versions "$version" "${constraint%% *}" "${constraint#* }"
}
echo "$depends" | tr ',' '\n' | while read -r group; do
  satisfied=no
  alternatives=$(echo "$group" | tr '|' '\n')
  while read -r alternative; do
    if installed "$alternative"; then
      satisfied=yes
      break
    fi
  done <<ALTERNATIVES
$alternatives
ALTERNATIVES
  [ "$satisfied" = yes ] || fail "no installed package satisfies \"$group\""
done

# The unpacked program at work: the archive tool reads the bundled jar, and the window connects
# to the simulated device through the deploy tool and pictures beside it.
before=$(find "$root" | sort)
"$root/usr/bin/kestrane-bar" list "$app/lib/BarDeploy.jar" | grep -q '"kestrane/devicesim/Main.class"' ||
  fail "kestrane-bar could not list the bundled jar"
# kestrane-device through its launcher reads the simulated Z30, its state and Kestrane's kept in a
# temporary folder (no settings or deploy tool of this user's are looked at).
state=$(mktemp -d)
info=$(env -u KESTRANE_DEPLOY_TOOL KESTRANE_DEVICE_PASSWORD=z30 KESTRANE_DEVICESIM_HOME="$state/sim" \
  XDG_STATE_HOME="$state/state" XDG_CONFIG_HOME="$state/config" XDG_DATA_HOME="$state/data" \
  "$root/usr/bin/kestrane-device" --device 169.254.0.1 info 2>"$state/stderr") || {
  cat "$state/stderr"
  rm -rf "$state"
  fail "kestrane-device info failed against the bundled simulator"
}
echo "$info" | grep -q "Device name *BlackBerry Z30" || {
  rm -rf "$state"
  fail "kestrane-device info does not name the Z30: $info"
}
grep -q "bundled device simulator answers" "$state/stderr" || {
  rm -rf "$state"
  fail "kestrane-device does not say that the simulator answered"
}
rm -rf "$state"
# The screens it showed are kept in build-release/tour/ to look at.
"$KESTRANE_ROOT/tools/window-tour.sh" "$root/usr/bin/kestrane" "$build/tour"
[ "$(find "$root" | sort)" = "$before" ] || fail "running the program changed its installed files"

rm -rf "$root"
[ ! -e "$root" ] || fail "the unpacked package could not be removed"
echo "test-package: the package unpacks, connects to the simulator and is removed cleanly"
