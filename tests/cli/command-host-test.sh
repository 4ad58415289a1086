#!/bin/bash
# kestrane-device's commands give the same through the command host, with the host switched off
# (KESTRANE_COMMAND_HOST=0) and on a runtime that refuses the host's exit trap (here forced with
# _JAVA_OPTIONS=-Djava.security.manager=disallow, which comes after every command-line option):
# the same output and exit codes, and nothing of the refusal said.
# Usage: command-host-test.sh BIN_DIR
set -u
bin_dir=$1
tool="$bin_dir/kestrane-device"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset KESTRANE_DEPLOY_TOOL KESTRANE_COMMAND_HOST _JAVA_OPTIONS JAVA_TOOL_OPTIONS JDK_JAVA_OPTIONS
export KESTRANE_DEVICESIM_PROGRESS_MS=0 KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS=300
failures=0

# One session of commands, each with two or more deploy tool runs for the device (a listing, then
# an action per package), on a fresh simulator; what each wrote and its exit code.
session() {
  export KESTRANE_DEVICESIM_HOME="$work/sim-$1"
  shift
  local z30=(env KESTRANE_DEVICE_PASSWORD=z30 "$@" "$tool" --device 169.254.0.1)
  local commands=(
    "status com.acme.speedtest"
    "launch com.acme.speedtest"
    "status com.acme.speedtest"
    "terminate com.acme.speedtest"
    "status com.acme.none"
  )
  local each
  for each in "${commands[@]}"; do
    # shellcheck disable=SC2086
    "${z30[@]}" $each 2>&1
    echo "exit code $?"
  done
  env KESTRANE_DEVICE_PASSWORD=z10 "$@" "$tool" --device 169.254.3.1 status com.acme.speedtest 2>&1
  echo "exit code $?"
}

session host >"$work/host.txt"
if ! grep -q "^exit code 0" "$work/host.txt" || ! grep -q "running" "$work/host.txt"; then
  echo "FAIL host: the session did not work:"
  sed 's/^/    /' "$work/host.txt"
  failures=$((failures + 1))
fi
for mode in "switched-off KESTRANE_COMMAND_HOST=0" \
  "refused _JAVA_OPTIONS=-Djava.security.manager=disallow"; do
  name=${mode%% *}
  session "$name" ${mode#* } >"$work/$name.txt"
  # The runtime names options it picked up, run of its own or not: not the host's business.
  sed -i '/^Picked up _JAVA_OPTIONS/d' "$work/$name.txt"
  if diff -u "$work/host.txt" "$work/$name.txt" >"$work/diff" &&
    ! grep -Eiq 'security manager|exit trap|command host|WARNING' "$work/$name.txt"; then
    echo "ok   $name"
  else
    echo "FAIL $name: differs from the host's session:"
    sed 's/^/    /' "$work/diff" "$work/$name.txt"
    failures=$((failures + 1))
  fi
done
# No host outlives kestrane-device, also when it is killed (its command reaper ends the host): a
# status of a device that never answers, killed while its host waits.
KESTRANE_DEVICESIM_HOME="$work/sim-killed" KESTRANE_DEVICE_PASSWORD=z30 \
  "$tool" --device 169.254.4.1 status com.acme.speedtest >/dev/null 2>&1 &
owner=$!
hosts="java -Djava.security.manager=allow @$XDG_RUNTIME_DIR/"
seen=
for _ in $(seq 150); do
  seen=$(pgrep -f "$hosts")
  [ -n "$seen" ] && break
  sleep 0.1
done
kill -KILL $owner
# (bash reports the killed job; its note is not the test's)
{ wait $owner; } 2>/dev/null
for _ in $(seq 50); do
  [ -z "$(pgrep -f "$hosts")" ] && break
  sleep 0.1
done
if [ -n "$seen" ] && [ -z "$(pgrep -f "$hosts")" ]; then
  echo "ok   killed-run-host-ended"
else
  echo "FAIL killed-run-host-ended: host seen: '$seen'; left: $(pgrep -af "$hosts")"
  failures=$((failures + 1))
fi
[ "$failures" = 0 ]
