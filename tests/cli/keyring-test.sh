#!/bin/bash
# kestrane-device and the desktop keyring, against the built device simulator, inside a private
# D-Bus session (tests/support/keyring-session.sh). Usage: keyring-test.sh BIN_DIR KEYRING_HELPER
# MODE, MODE "keyring" (a Secret Service answers) or "bare" (no keyring service).
set -u
bin_dir=$1
helper=$2
mode=$3
tool="$bin_dir/kestrane-device"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state" KESTRANE_DEVICESIM_HOME="$work/sim"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
unset KESTRANE_DEPLOY_TOOL KESTRANE_DEVICE_PASSWORD
export KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS=300
. "$(dirname "$0")/check.sh"

# The window remembered the simulator's Z30 (PIN 2A7F3C9E) at 169.254.0.1.
mkdir -p "$XDG_CONFIG_HOME/kestrane" "$XDG_STATE_HOME"
cat >"$XDG_CONFIG_HOME/kestrane/kestrane.ini" <<'INI'
[devices]
2A7F3C9E=169.254.0.1, BlackBerry Z30
INI

if [ "$mode" = keyring ]; then
  "$helper" store 2A7F3C9E z30
  check kept-password-used 0 'password of BlackBerry Z30, PIN 2A7F3C9E comes from the desktop keyring' -- \
    "$tool" --device 169.254.0.1 info </dev/null
  # The environment and a password file come first: the keyring is not even read.
  "$helper" store 2A7F3C9E not-the-password
  check environment-first 0 '^Device name +BlackBerry Z30' -- \
    env KESTRANE_DEVICE_PASSWORD=z30 "$tool" --device 169.254.0.1 info </dev/null
  check password-file-first 0 '^Device name +BlackBerry Z30' -- \
    "$tool" --password-file <(echo z30) --device 169.254.0.1 info </dev/null
  check wrong-kept-password-still-kept 0 '^not-the-password$' -- "$helper" read 2A7F3C9E
  # A kept password the device refuses is removed at once.
  check kept-password-refused 3 'refused the password kept in the desktop keyring: it is removed' -- \
    "$tool" --device 169.254.0.1 info </dev/null
  check refused-password-removed 0 '^not kept$' -- "$helper" read 2A7F3C9E
  check nothing-kept-nothing-asked 1 'no device password' -- \
    "$tool" --device 169.254.0.1 info </dev/null
  # A device not remembered at the address has no kept password, whatever the keyring holds.
  "$helper" store 2A7F3C9E z30
  check other-address-not-kept 1 'no device password' -- \
    "$tool" --device 169.254.3.1 info </dev/null
  # With several devices each would need its own password: the keyring is not used.
  check several-devices-not-kept 1 'no device password' -- \
    "$tool" --device 169.254.0.1 --device 169.254.0.1 info </dev/null
  check forget-password 0 '^Forgot the password of BlackBerry Z30, PIN 2A7F3C9E \(169\.254\.0\.1\)\.$' -- \
    "$tool" forget-password --device 169.254.0.1
  check forgotten 0 '^not kept$' -- "$helper" read 2A7F3C9E
  check forget-again 0 '^No password is kept for BlackBerry Z30, PIN 2A7F3C9E \(169\.254\.0\.1\)\.$' -- \
    "$tool" forget-password --device=169.254.0.1
  check forget-unknown-device 0 'no device is remembered at that address' -- \
    "$tool" forget-password --device 169.254.9.1
  check forget-needs-device 1 'forget-password takes one --device ADDRESS' -- \
    "$tool" forget-password
  check forget-bad-address 1 '.' -- "$tool" forget-password --device 300.1.2.3
else
  check no-keyring-forget 1 'No desktop keyring answers' -- \
    "$tool" forget-password --device 169.254.0.1
  check no-keyring-asks-as-before 1 'no device password' -- \
    "$tool" --device 169.254.0.1 info </dev/null
fi

# No password was written into Kestrane's own files.
check no-password-in-files 1 '' -- grep -rl -e z30 -e not-the-password "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
