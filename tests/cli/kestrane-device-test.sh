#!/bin/bash
# kestrane-device end to end against the built device simulator, as a user runs it: every case
# checks the exit code and what was written. Usage: kestrane-device-test.sh BIN_DIR MAKE_BARS
set -u
bin_dir=$1
make_bars=$2
tool="$bin_dir/kestrane-device"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state" KESTRANE_DEVICESIM_HOME="$work/sim"
# The deploy tool lookup sees only what a case puts there.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# A session's runtime folder of the test's own: the private folders are made there.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset KESTRANE_DEPLOY_TOOL
export KESTRANE_DEVICESIM_PROGRESS_MS=300 KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS=300
python3 "$make_bars" "$work/bars" 2 0.05 >/dev/null
echo "not an archive" >"$work/bars/broken.bar"
. "$(dirname "$0")/check.sh"

z30() { KESTRANE_DEVICE_PASSWORD=z30 "$tool" "$@"; }

check info 0 'Device name +BlackBerry Z30' -- z30 --device 169.254.0.1 info
check info-json 0 '^\{"address":"169.254.0.1",.*"modelKey":"Z30",.*"pin":"2A7F3C9E"' -- \
  z30 --json --device 169.254.0.1 info
check apps-text 0 'Speed Test +3\.2\.0\.1 +com\.acme\.speedtest +testDev_speedtest__0b911cdd' -- \
  z30 --device 169.254.0.1 apps
check apps-json 0 '^\{"device":"169.254.0.1","id":"testDev_speedtest__0b911cdd","name":"Speed Test","package":"com.acme.speedtest","version":"3.2.0.1"\}$' -- \
  z30 --device 169.254.0.1 apps --json
check install-two-at-once 0 '169.254.0.1 +bench-0002.bar +launched' -- \
  z30 --device 169.254.0.1 --device 169.254.0.1 install --launch "$work"/bars/bench-000[12].bar
check installed-app-runs 0 'com\.example\.bench0001 +running' -- \
  z30 --device 169.254.0.1 status com.example.bench0001
check launch-by-name 0 '169.254.0.1 +com\.acme\.speedtest +running' -- \
  z30 --device 169.254.0.1 launch com.acme.speedtest
check terminate-by-name-and-id 0 'com\.acme\.speedtest +stop' -- \
  z30 --device 169.254.0.1 terminate com.acme.speedtest.testDev_speedtest__0b911cdd
check several-first-failure 3 '169.254.1.1 +failed \(exit code 3\)' -- \
  z30 --device 169.254.0.1 --device 169.254.1.1 info
# Two devices failing differently: the exit code is the first one's in the order given (the Z10
# refuses the password, 3; nothing listens at 127.0.0.1, 5).
check several-first-of-two-failures 3 '127.0.0.1 +failed \(exit code 5\)' -- \
  z30 --device 169.254.3.1 --device 127.0.0.1 info
check several-first-of-two-failures-reversed 5 '169.254.3.1 +failed \(exit code 3\)' -- \
  z30 --device 127.0.0.1 --device 169.254.3.1 info
check wrong-password 3 'refused the password' -- z30 --device 169.254.1.1 info
for _ in 1 2 3 4 5 6 7; do z30 --device 169.254.1.1 info >/dev/null 2>&1; done
# The Q10's last answer said "9 of 10 failed attempts": the next run does not send the password
# unless told to, and the one it then sends locks the device.
check last-attempt-kept 3 '169.254.1.1: Not sent: .*9 of 10 failed attempts.*give --spend-last-attempt\.$' -- \
  z30 --device 169.254.1.1 info
check no-attempts-left 4 'no more passwords' -- z30 --spend-last-attempt --device 169.254.1.1 info
# What an earlier run learned counts in the next one; a password the device accepts clears it.
echo "169.254.2.1 9 10" >>"$XDG_STATE_HOME/kestrane/login-attempts"
playbook() { KESTRANE_DEVICE_PASSWORD=playbook "$tool" --device 169.254.2.1 "$@"; }
check last-attempt-remembered 3 'spend-last-attempt' -- playbook info
check last-attempt-spent 0 'Address +169\.254\.2\.1' -- playbook --spend-last-attempt info
check last-attempt-cleared 0 'Address +169\.254\.2\.1' -- playbook info
check development-mode-off 2 'Development Mode' -- \
  env KESTRANE_DEVICE_PASSWORD=z10 "$tool" --device 169.254.3.1 info
check nothing-there 5 '169.254.9.9' -- z30 --device 169.254.9.9 info
check refused 5 '127.0.0.1' -- z30 --device 127.0.0.1 apps
check silent 5 'did not answer within 1.5 seconds' -- \
  env KESTRANE_DEVICE_SILENCE_MS=1500 KESTRANE_DEVICE_PASSWORD=x "$tool" --device 169.254.4.1 info
mkdir -p "$work/bare"
cp "$tool" "$work/bare/"
check tool-missing 6 'BarDeploy.jar does not exist' -- \
  env KESTRANE_DEVICE_PASSWORD=z30 "$work/bare/kestrane-device" --device 169.254.0.1 info
check bad-address 1 'is not a device address' -- z30 --device 169.254.0 info
check broken-bar 1 'broken.bar: ' -- z30 --device 169.254.0.1 install "$work/bars/broken.bar"
check bar-gone 1 'kestrane-device: .*/gone\.bar: no such file$' -- \
  z30 --device 169.254.0.1 install "$work/bars/gone.bar"
check bar-is-folder 1 'kestrane-device: .*/bars: is a folder$' -- \
  z30 --device 169.254.0.1 install "$work/bars"
check unknown-package 1 'no package "com.example.none"' -- \
  z30 --device 169.254.0.1 launch com.example.none
check no-password 1 'no device password' -- \
  env -u KESTRANE_DEVICE_PASSWORD "$tool" --device 169.254.0.1 info </dev/null
check password-file 0 'BlackBerry Z30' -- \
  env -u KESTRANE_DEVICE_PASSWORD "$tool" --password-file <(printf 'z30\nignored\n') \
  --device 169.254.0.1 info
# A stand-in for BlackBerry's deploy tool: the simulator's jar under the real name with the six
# companion jars beside it (empty: the simulator needs none); and a copy lacking one of them.
real="$work/real tool"
mkdir -p "$real"
cp "$bin_dir/lib/BarDeploy.jar" "$real/"
for jar in apache-mime4j-0.6.jar commons-codec-1.4.jar commons-logging-1.1.1.jar \
  httpclient-4.0.3.jar httpcore-4.0.1.jar httpmime-4.0.3.jar; do
  : >"$real/$jar"
done
cp -r "$real" "$work/incomplete"
rm "$work/incomplete/httpcore-4.0.1.jar"
check simulator-note 0 'bundled device simulator answers.*--deploy-tool DIR' -- \
  z30 --device 169.254.0.1 info
check simulator-json 0 '"simulator":true' -- z30 --json --device 169.254.0.1 info
check deploy-tool-option 0 "deploy tool: $real \\(--deploy-tool\\), version 1\\.4\\.0" -- \
  z30 --deploy-tool "$real" --device 169.254.0.1 info
check deploy-tool-json 0 "^\\{\"address\":\"169.254.0.1\",.*\"deployTool\":\"$real\",.*\"simulator\":false" -- \
  z30 --deploy-tool "$real" --json --device 169.254.0.1 info
check deploy-tool-incomplete 6 'incomplete cannot run the deploy tool: it lacks httpcore-4\.0\.1\.jar$' -- \
  z30 --deploy-tool "$work/incomplete" --device 169.254.0.1 info
check deploy-tool-gone 6 'no such folder' -- z30 --deploy-tool "$work/none" --device 169.254.0.1 info
# The folder chosen in the window comes before the environment's, which comes before the
# simulator; an incomplete one is warned about, and the lookup goes on.
mkdir -p "$XDG_CONFIG_HOME/kestrane"
printf '[deployTool]\nfolder=%s\n' "$real" >"$XDG_CONFIG_HOME/kestrane/kestrane.ini"
check window-choice 0 "deploy tool: $real \\(the folder you chose\\)" -- \
  env KESTRANE_DEPLOY_TOOL="$work/incomplete" KESTRANE_DEVICE_PASSWORD=z30 "$tool" \
  --device 169.254.0.1 info
rm "$XDG_CONFIG_HOME/kestrane/kestrane.ini"
check environment-incomplete 0 'warning: passed over KESTRANE_DEPLOY_TOOL .*incomplete: httpcore-4\.0\.1\.jar missing' -- \
  env KESTRANE_DEPLOY_TOOL="$work/incomplete" KESTRANE_DEVICE_PASSWORD=z30 "$tool" \
  --device 169.254.0.1 info
mkdir -p "$XDG_DATA_HOME/kestrane"
cp -r "$real" "$XDG_DATA_HOME/kestrane/deploy-tool"
check user-folder 0 "deploy tool: $XDG_DATA_HOME/kestrane/deploy-tool " -- \
  z30 --device 169.254.0.1 info
rm -r "$XDG_DATA_HOME/kestrane"
# The Native SDK's newest host first: an incomplete one is named, the next one answers.
sdk="$work/home/bbndk"
mkdir -p "$sdk/host_10_3_1_12/linux/x86/usr" "$sdk/host_10_2_0_9/linux/x86/usr"
cp -r "$work/incomplete" "$sdk/host_10_3_1_12/linux/x86/usr/lib"
cp -r "$real" "$sdk/host_10_2_0_9/linux/x86/usr/lib"
# (The lookup stops at the tool it finds: the newer host was named, so it was looked at first.)
check sdk-newest-host-incomplete 0 'passed over the BlackBerry 10 Native SDK .*host_10_3_1_12/linux/x86/usr/lib: httpcore-4\.0\.1\.jar missing' -- \
  env HOME="$work/home" KESTRANE_DEVICE_PASSWORD=z30 "$tool" --device 169.254.0.1 info
check sdk-next-host-answers 0 'deploy tool: .*host_10_2_0_9/linux/x86/usr/lib \(the BlackBerry 10 Native SDK\), version 1\.4\.0' -- \
  env HOME="$work/home" KESTRANE_DEVICE_PASSWORD=z30 "$tool" --device 169.254.0.1 info
# The developer's loop on the simulated Passport: its debug token has expired, a debug token
# BAR for its PIN (743344661) renews it (installed as a token, never launched), and a BAR that
# needs OS 10.3 is refused by its OS 10.2.1.
python3 - "$work/bars" <<'PY'
import sys, zipfile
def bar(name, manifest):
    with zipfile.ZipFile(f"{sys.argv[1]}/{name}", "w") as archive:
        archive.writestr("META-INF/MANIFEST.MF", manifest)
bar("token.bar", "Package-Type: debug-token\r\nPackage-Name: debug.token\r\n"
    "Debug-Token-Expiry-Date: 2032-01-15\r\nDebug-Token-Device-Id: 1,743344661\r\n")
bar("newer.bar", "Package-Name: com.example.newer\r\nPackage-Id: testNewer01\r\n"
    "Application-Name: Newer\r\nApplication-Version: 1.0.0.0\r\n"
    "Application-Requires-System: BlackBerry 10/10.3.0.0\r\n")
PY
passport() { KESTRANE_DEVICE_PASSWORD=passport "$tool" --device 169.254.7.1 "$@"; }
check token-expired 0 '^Debug token +expired on 2024-01-31$' -- passport info
check token-installed 0 '169.254.7.1 +token.bar +installed *$' -- \
  passport install --launch "$work/bars/token.bar"
check token-valid 0 '"debugToken":\{"author":"","expiration":"Thu Jan 15 23:59:59 GMT\+0200 2032","expires":"2032-01-15T23:59:59\+02:00","expiryPassed":false,"status":"valid","validationError":"","validationErrorCode":0\}' -- \
  passport --json info
check needs-newer-os 2 '169.254.7.1 +newer.bar +failed .*10\.3\.0\.0.*10\.2\.1\.3247' -- \
  passport install "$work/bars/newer.bar"
# A token queued after an application is installed before it; the results keep the order given.
out=$(passport install "$work/bars/newer.bar" "$work/bars/token.bar" 2>"$work/progress")
if [ "$(awk '{print $2}' <<<"$out" | tr '\n' ' ')" = "newer.bar token.bar " ] &&
  [ "$(grep -m1 -o '[a-z]*\.bar' "$work/progress")" = "token.bar" ]; then
  echo "ok   token-installed-first"
else
  echo "FAIL token-installed-first: results:"
  sed 's/^/    /' <<<"$out"
  sed 's/^/    /' "$work/progress"
  failures=$((failures + 1))
fi
# With --launch, a refused installation is a failed one, not an installed app that did not run.
check needs-newer-os-launch 2 '169.254.7.1 +newer.bar +failed .*10\.3\.0\.0' -- \
  passport install --launch "$work/bars/newer.bar"
check playbook-expired-token 0 '"debugToken":\{"author":"","expiration":"","expires":null,"expiryPassed":false,"status":"expired","validationError":"debug token has expired","validationErrorCode":3\}' -- \
  env KESTRANE_DEVICE_PASSWORD=playbook "$tool" --json --device 169.254.2.1 info
# The deploy tool's home holds the devices' login data: only its owner may enter it, also when
# it was made looser before.
chmod 755 "$XDG_STATE_HOME/kestrane/deploy-tool"
check tool-home-private 0 '^700$' -- env KESTRANE_DEVICE_PASSWORD=z30 \
  sh -c '"$1" --device 169.254.0.1 info >/dev/null 2>&1 && stat -c %a "$2"' \
  sh "$tool" "$XDG_STATE_HOME/kestrane/deploy-tool"
# A run killed together with its command reaper (as a test runner ends a hung test's whole process
# tree) leaves its private folder behind, with the password's argument file; the next run removes
# it, and leaves nothing of its own.
descendants() { local child; for child in $(ps -o pid= --ppid "$1"); do echo "$child"; descendants "$child"; done; }
KESTRANE_DEVICE_PASSWORD=left-behind "$tool" --device 169.254.4.1 info >/dev/null 2>&1 &
owner=$!
# The run is killed once the tool's Java runs: the reaper is started before it, so it is part of
# the tree by then.
left=
for _ in $(seq 100); do
  left=$(grep -rl left-behind "$XDG_RUNTIME_DIR" 2>/dev/null)
  [ -n "$left" ] && ps -o comm= -p "$(descendants $owner | paste -sd,)" 2>/dev/null |
    grep -qx java && break
  sleep 0.1
done
# All are stopped before any is killed: the reaper acts the moment its owner is gone, and would
# otherwise clean up in the instant between the two kills.
tree="$owner $(descendants $owner)"
kill -STOP $tree 2>/dev/null
kill -KILL $tree 2>/dev/null
wait $owner 2>/dev/null
sleep 0.2
if [ -n "$left" ] && [ -f "$left" ] && z30 --device 169.254.0.1 info >/dev/null 2>&1 &&
  [ -z "$(ls -A "$XDG_RUNTIME_DIR")" ]; then
  echo "ok   killed-run-folder-removed"
else
  echo "FAIL killed-run-folder-removed: argument file '$left'; the runtime folder holds:"
  ls -lAR "$XDG_RUNTIME_DIR" | sed 's/^/    /'
  failures=$((failures + 1))
fi
check unknown-command 1 'unknown command' -- z30 --device 169.254.0.1 reboot
check help 0 '6 +the Java runtime or the deploy tool is missing' -- "$tool" --help
check help-lookup 0 '1\. the folder given with --deploy-tool' -- "$tool" --help
# On a terminal the installation shows a bar redrawn in place.
check progress-bar 0 $'\e\\[1A\e\\[J169.254.0.1 bench-0001.bar \\[#+\\] 100%' -- \
  script -qec "KESTRANE_DEVICE_PASSWORD=z30 '$tool' --device 169.254.0.1 install '$work/bars/bench-0001.bar'" /dev/null
check progress-lines 0 '^169.254.0.1 bench-0001.bar 100%$' -- \
  z30 --device 169.254.0.1 install "$work/bars/bench-0001.bar"
# Installed means listed: the device's list after the run must show the BAR's version.
check install-confirmed 0 '^\{"confirmed":true,"device":"169.254.0.1",.*"result":"installed","what":"bench-0002.bar"\}$' -- \
  z30 --json --device 169.254.0.1 install "$work/bars/bench-0002.bar"
check install-lists-other-version 2 '^\{"confirmed":false,"device":"169.254.0.1","listedVersion":"1\.0\.0\.0","message":"Installed, but the device lists version 1\.0\.0\.0","result":"installed","what":"bench-0002.bar"\}$' -- \
  env KESTRANE_DEVICESIM_LISTED_VERSION=1.0.0.0 KESTRANE_DEVICE_PASSWORD=z30 "$tool" --json \
  --device 169.254.0.1 install "$work/bars/bench-0002.bar"
check install-not-listed 2 '^169.254.0.1 +bench-0001.bar +installed +Installed, but the device does not list it \(not launched: no such application on the device \(500\)\)$' -- \
  env KESTRANE_DEVICESIM_LISTED_VERSION=none KESTRANE_DEVICE_PASSWORD=z30 "$tool" \
  --device 169.254.0.1 install --launch "$work/bars/bench-0001.bar"

[ "$failures" = 0 ] && echo "all passed" || { echo "$failures failed"; exit 1; }
