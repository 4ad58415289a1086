#!/bin/bash
# kestrane-device discover end to end against fake hosts on loopback addresses (127.0.0.x) and
# the bundled simulator's devices. Nothing here probes another address: the scans are given
# loopback networks, and the simulator's devices' addresses are never probed.
# Usage: discover-test.sh BIN_DIR FAKE_HOSTS
set -u
bin_dir=$1
fake_hosts=$2
tool="$bin_dir/kestrane-device"
work=$(mktemp -d)
fakes=
trap '[ -n "$fakes" ] && kill "$fakes"; rm -rf "$work"' EXIT
# The deploy tool lookup finds the bundled simulator only.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
unset KESTRANE_DEPLOY_TOOL
. "$(dirname "$0")/check.sh"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export KESTRANE_DISCOVERY_PORT=$port
python3 "$fake_hosts" "$port" 127.0.0.2=device 127.0.0.3=silent 127.0.0.4=closes 127.0.0.5=huge \
  127.0.0.6=devmodeoff:740424151:BlackBerry_Q20 127.0.0.17=device >"$work/fakes.out" 2>&1 &
fakes=$!
for _ in $(seq 50); do grep -q ready "$work/fakes.out" && break; sleep 0.1; done
grep -q ready "$work/fakes.out" || { echo "FAIL the fake hosts did not start:"; cat "$work/fakes.out"; exit 1; }

start=$(date +%s)
check loopback-text 0 '127\.0\.0\.2 +BlackBerry Z30 +BlackBerry 10 10\.3\.3\.2205 +22233333 +on +finished +network' -- \
  "$tool" discover --network 127.0.0.0/28
# The silent and the flooding hosts hold the scan no longer than its timeout (a wide bound).
if [ $(($(date +%s) - start)) -gt 15 ]; then
  echo "FAIL loopback-text took over 15 s"
  failures=$((failures + 1))
fi
check loopback-devmode-off 0 '127\.0\.0\.6 +BlackBerry Q20 .* 2C21F9D7 +off +not finished' -- \
  "$tool" discover --network 127.0.0.0/28
check loopback-json 0 '^\{"address":"127\.0\.0\.2","developmentMode":true,"model":"BlackBerry Z30","osType":"BlackBerry 10","osVersion":"10\.3\.3\.2205","pin":"22233333","previousAddress":null,"setupFinished":true,"simulated":false,"via":"network"\}$' -- \
  "$tool" --json discover --network 127.0.0.0/28
out=$("$tool" --json discover --network 127.0.0.0/28 2>/dev/null)
if [ "$(wc -l <<<"$out")" != 2 ] || grep -Eq '127\.0\.0\.[345]' <<<"$out"; then
  echo "FAIL only the two devices are listed, one JSON line each:"
  sed 's/^/    /' <<<"$out"
  failures=$((failures + 1))
fi
# The Z30 found at 127.0.0.2 above answers at 127.0.0.17 too, as a device whose address changed:
# known by its PIN, with the address it was at.
check moved-device 0 'BlackBerry Z30 \(PIN 22233333\) was at 127\.0\.0\.2; it answers at 127\.0\.0\.17 now' -- \
  "$tool" discover --network 127.0.0.17/32
check moved-device-json 0 '"address":"127\.0\.0\.2",.*"previousAddress":"127\.0\.0\.17"' -- \
  "$tool" --json discover --network 127.0.0.2/32
check several-networks 0 '127\.0\.0\.2 .*' -- \
  "$tool" discover --network 127.0.0.8/29 --network=127.0.0.2/32
check none-answers 5 'no device answered \(6 addresses probed\).*Development Mode' -- \
  "$tool" discover --network 127.0.0.8/29
check larger-than-16 1 '10\.0\.0\.0/8 is larger than a /16' -- "$tool" discover --network 10.0.0.0/8
check not-a-network 1 'printer/24 is no IPv4 network' -- "$tool" discover --network printer/24
check no-device-option 1 'discover takes no --device' -- \
  "$tool" --device 127.0.0.2 discover --network 127.0.0.0/28
check bad-port 1 'KESTRANE_DISCOVERY_PORT=http is no port number' -- \
  env KESTRANE_DISCOVERY_PORT=http "$tool" discover --network 127.0.0.0/28

# A phone's USB interface without an IPv4 address, in a fake sysfs tree: the advice names it.
sys="$work/sys"
mkdir -p "$sys/devices/usb1/1-2/1-2:1.0/net/usbfake0" "$sys/bus/usb/drivers/cdc_ncm" "$sys/class/net"
echo 0fca >"$sys/devices/usb1/1-2/idVendor"
echo 0x1003 >"$sys/devices/usb1/1-2/1-2:1.0/net/usbfake0/flags"
ln -s "$sys/bus/usb/drivers/cdc_ncm" "$sys/devices/usb1/1-2/1-2:1.0/driver"
ln -s ../.. "$sys/devices/usb1/1-2/1-2:1.0/net/usbfake0/device"
ln -s "$sys/devices/usb1/1-2/1-2:1.0/net/usbfake0" "$sys/class/net/usbfake0"
check usb-without-address 5 'usbfake0 \(cdc_ncm\) is up but has no IPv4 address.*"sudo ip address add 169\.254\.0\.2/16 dev usbfake0"' -- \
  env KESTRANE_SYSFS_ROOT="$sys" "$tool" discover --network 127.0.0.8/29
check usb-advice-beside-devices 0 'usbfake0 \(cdc_ncm\) is up' -- \
  env KESTRANE_SYSFS_ROOT="$sys" "$tool" discover --network 127.0.0.2/32

# The simulator's devices stand for their addresses: /32s of them probe nothing.
if [ -d /opt/bbndk ]; then
  echo "skip simulated devices: /opt/bbndk holds a deploy tool, whose devices would be probed"
else
  check simulated-json 0 '^\{"address":"169\.254\.2\.1","developmentMode":true,"model":"BlackBerry PlayBook","osType":"BlackBerry PlayBook OS","osVersion":"2\.1\.0\.1917","pin":"50A3E1B7","previousAddress":null,"setupFinished":true,"simulated":true,"via":"usb"\}$' -- \
    "$tool" --json discover --network 169.254.0.1/32 --network 169.254.2.1/32
  check simulated-text 0 '169\.254\.3\.1 +BlackBerry Z10 .* +off +finished +usb \(simulated\)' -- \
    "$tool" discover --network 169.254.3.1/32
fi

[ "$failures" = 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" = 0 ]
