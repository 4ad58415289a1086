#!/bin/sh
# The peers the benchmarks compare against, and the timing tools.
set -eu
need=""
for p in hyperfine unzip libarchive-tools python3 time gcc zlib1g-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
[ -z "$need" ] && exit 0
SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-upgrade --no-install-recommends $need
