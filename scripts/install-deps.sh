#!/bin/sh
# Installs the Debian 12 packages that building, running and testing Kestrane need.
# The keyring tests run a private D-Bus session (dbus-bin, dbus-daemon) with gnome-keyring's
# Secret Service; libsecret-tools' secret-tool looks into a keyring by hand.
# Fast when everything is present: dpkg is asked first and apt-get runs only for what is missing.
set -eu

PACKAGES="build-essential cmake ninja-build pkg-config time
  qt6-base-dev qt6-base-dev-tools libqt6widgets6 libqt6test6
  xvfb xauth x11-utils fonts-dejavu-core fonts-liberation2 fonts-wine
  zlib1g-dev libjpeg-dev libgtest-dev libgmock-dev libbenchmark-dev openjdk-17-jdk-headless
  clang-14 libclang-rt-14-dev imagemagick
  xdotool desktop-file-utils appstream groff-base
  qtkeychain-qt6-dev gnome-keyring dbus-bin dbus-daemon libsecret-tools"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# --no-upgrade keeps installed packages as they are; the lock timeout waits for another apt.
# shellcheck disable=SC2086
$SUDO apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-upgrade --no-install-recommends $missing
