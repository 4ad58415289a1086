#!/bin/bash
# kestrane-device log, exit-code, get and put end to end against the built device simulator: an
# application launched, its log followed, terminated, its exit code read; a file put and got back
# byte for byte; the failures with their exit codes and nothing written where it does not belong.
# Usage: sandbox-test.sh BIN_DIR
set -u
bin_dir=$1
tool="$bin_dir/kestrane-device"
work=$(mktemp -d)
follower=
trap '[ -n "$follower" ] && kill "$follower" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state" KESTRANE_DEVICESIM_HOME="$work/sim"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset KESTRANE_DEPLOY_TOOL
. "$(dirname "$0")/check.sh"

z30() { KESTRANE_DEVICE_PASSWORD=z30 "$tool" --device 169.254.0.1 "$@"; }
app=com.acme.speedtest
mkdir "$work/here"
cd "$work/here" || exit 1

# Bad input: nothing runs, exit code 1.
check absolute-path 1 'starts with /\. Give the path relative' -- z30 get $app /etc/passwd
check path-leaving 1 'leaves the application.s sandbox' -- z30 get $app data/../../x
check empty-part 1 'has an empty part' -- z30 put $app /etc/hostname data//x
check put-missing-file 1 'gone\.db: no such file' -- z30 put $app "$work/gone.db" data/x
check follow-only-with-log 1 '\-\-follow goes with log' -- z30 get --follow $app logs/log
check one-device 1 'take one --device' -- \
  env KESTRANE_DEVICE_PASSWORD=z30 "$tool" --device 169.254.0.1 --device 169.254.1.1 log $app
check unknown-package 1 'no package "com\.example\.none" is installed' -- z30 log com.example.none

check launch 0 "$app +running" -- z30 launch $app
check log 0 '^Started, process [0-9]+$' -- z30 log $app
check not-exited 0 'has not exited: it is running' -- z30 exit-code $app
check not-exited-json 0 '^\{"device":"169\.254\.0\.1","exitCode":null,"exited":false,"package":"com\.acme\.speedtest"\}$' -- \
  z30 --json exit-code $app

# Followed: what the log gains comes as it grows; a new run's log starts over after a marker.
# The program itself in the background (not a shell function around it), so that the interrupt
# reaches it.
KESTRANE_DEVICE_PASSWORD=z30 "$tool" --device 169.254.0.1 log --follow $app >"$work/followed" \
  2>"$work/followed.err" &
follower=$!
sleep 3
z30 terminate $app >/dev/null 2>&1
z30 launch $app >/dev/null 2>&1
sleep 4
kill -INT $follower
# A follower the interrupt did not end fails the case rather than hanging the test.
for _ in $(seq 50); do kill -0 $follower 2>/dev/null || break; sleep 0.1; done
kill -0 $follower 2>/dev/null && kill $follower
wait $follower
code=$?
follower=
if [ "$code" != 0 ] || ! grep -q '^Running for 2 s$' "$work/followed" ||
  ! grep -q '^-- kestrane-device: the log of com\.acme\.speedtest started over --$' "$work/followed" ||
  [ "$(grep -c '^Started, process' "$work/followed")" != 2 ] ||
  [ "$(grep -c '^Running for 1 s$' "$work/followed")" -gt 2 ]; then
  echo "FAIL follow: exit code $code, output:"
  sed 's/^/    /' "$work/followed" "$work/followed.err"
  failures=$((failures + 1))
else
  echo "ok   follow"
fi

check terminate 0 "$app +stop" -- z30 terminate $app
check exit-code 0 '^0$' -- z30 exit-code $app
check exit-code-json 0 '"exitCode":0,"exited":true' -- z30 --json exit-code $app

# A file put and got back, to a file, to the current folder and to standard output.
head -c 20000 /dev/urandom >"$work/sent.bin"
check put 0 'sent\.bin put as data/sent\.bin' -- z30 put $app "$work/sent.bin" data/sent.bin
check get 0 'data/sent\.bin saved as .*back\.bin \(20000 bytes\)' -- z30 get $app data/sent.bin "$work/back.bin"
check get-default-dest 0 'saved as sent\.bin' -- z30 get $app data/sent.bin
check get-json 0 '"bytes":20000,.*"path":"data/sent\.bin"' -- z30 --json get $app data/sent.bin "$work/json.bin"
z30 get $app data/sent.bin - >"$work/stdout.bin" 2>/dev/null
for copy in "$work/back.bin" "$work/here/sent.bin" "$work/stdout.bin"; do
  if cmp -s "$work/sent.bin" "$copy"; then echo "ok   byte-identical ${copy##*/}"; else
    echo "FAIL byte-identical ${copy##*/}"
    failures=$((failures + 1))
  fi
done

# Failures: the device's, and a destination that cannot take the file; the user's name is never
# left with a partial file, and a file there before stays.
check no-such-file 2 'has no file "data/none" in its sandbox' -- z30 get $app data/none
[ -e "$work/here/none" ] && { echo "FAIL no-such-file left a file"; failures=$((failures + 1)); }
echo before >"$work/kept.txt"
check failure-keeps-file 2 'has no file' -- z30 get $app data/none "$work/kept.txt"
[ "$(cat "$work/kept.txt")" = before ] || { echo "FAIL the file there before was changed"; failures=$((failures + 1)); }
check dest-folder 1 'is a folder\. Give the name of the file' -- z30 get $app data/sent.bin "$work"
check dest-missing-folder 1 'does not exist\. Create it' -- z30 get $app data/sent.bin "$work/missing/x"
check put-read-only 2 'refused the command: 403' -- z30 put $app "$work/sent.bin" app/x
leftovers=$(find "$work" -name '*.part' | wc -l)
[ "$leftovers" = 0 ] || { echo "FAIL temporary files left: $leftovers"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "all passed" || { echo "$failures failed"; exit 1; }
