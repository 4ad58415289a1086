#!/bin/bash
# The bash completions of kestrane-device and kestrane-bar, as bash calls them: each case sets
# the words typed so far and compares what the completion offers with what it should.
# Usage: completion-test.sh KESTRANE_DEVICE_COMPLETION KESTRANE_BAR_COMPLETION
set -u
# shellcheck source=/dev/null
. "$1"
# shellcheck source=/dev/null
. "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/sub"
: >"$work/app.bar"
: >"$work/UPPER.BAR"
: >"$work/notes.txt"
failures=0

# check FUNCTION "EXPECTED (sorted, space-separated)" WORD...: the last word is the one completed.
check() {
  local function=$1 want=$2
  shift 2
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  "$function"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$got" != "$want" ]; then
    echo "FAIL ${*}: offered \"$got\", wanted \"$want\""
    failures=$((failures + 1))
  else
    echo "ok   ${*}"
  fi
}

d=_kestrane_device
check $d "apps discover exit-code forget-password get info install launch log put status terminate uninstall" kestrane-device ""
check $d "--follow" kestrane-device --device 169.254.0.1 log --fo
check $d "$work/UPPER.BAR" kestrane-device --device 169.254.0.1 put com.acme "$work/UP"
check $d "" kestrane-device --device 169.254.0.1 put com.acme "$work/UPPER.BAR" "$work/UP"
check $d "$work/UPPER.BAR" kestrane-device --device 169.254.0.1 get com.acme data/x "$work/UP"
check $d "--deploy-tool --device" kestrane-device --de
check $d "info install" kestrane-device --device 169.254.0.1 --json in
check $d "" kestrane-device --device ""
check $d "$work/UPPER.BAR $work/app.bar $work/sub" kestrane-device --device 169.254.0.1 install "$work/"
check $d "--launch" kestrane-device --device 169.254.0.1 install --la
check $d "--spend-last-attempt" kestrane-device --sp
check $d "$work/sub" kestrane-device --deploy-tool "$work/"
check $d "" kestrane-device --device 169.254.0.1 launch com.
check $d "discover" kestrane-device --json di
check $d "--network" kestrane-device discover --ne
check $d "--device" kestrane-device forget-password --
check $d "" kestrane-device discover --network ""
check $d "--help --json --network" kestrane-device discover --network 127.0.0.0/28 --
b=_kestrane_bar
check $b "extract info list" kestrane-bar ""
check $b "extract" kestrane-bar e
check $b "$work/UPPER.BAR $work/app.bar $work/notes.txt $work/sub" kestrane-bar info "$work/app.bar" "$work/"
check $b "" kestrane-bar extract "$work/app.bar" ""
check $b "$work/sub" kestrane-bar extract "$work/app.bar" "*" "$work/"
check $b "" kestrane-bar list "$work/app.bar" ""

[ "$failures" = 0 ] && echo "all passed" || { echo "$failures failed"; exit 1; }
