#!/bin/sh
# kestrane-device against the bundled device simulator, as whole commands:
#
# (a) The front end's cost on "info": `kestrane-device --device 169.254.0.1 info` against the
#     bare deploy-tool command it runs, started the same way (/bin/sh -c "java <the same options>
#     @<an argument file of the same text>"), RUNS of each, alternating, in the same run: medians
#     and their ratio.
# (b) `install` of one BAR on 1, 4 and 8 devices at once (--device repeated; kestrane-device works
#     on four at a time): wall time, and peak memory as the largest single process
#     (/usr/bin/time's maximum resident set) and as the sum over the command's process tree
#     (kestrane-device, its shells and Java runs; sampled every 20 ms).
# (c) One BAR installed and launched: `install --launch` (one tool run) against `install` and then
#     `launch PACKAGE` (three tool runs), alternating, in the same run: medians and their ratio.
#
#   bench/device-cli.sh [BUILD_DIR]    a Release or RelWithDebInfo build; default build-release/
#
# Environment: KESTRANE_BENCH_RUNS (20, for (a)), KESTRANE_BENCH_INSTALL_RUNS (3, for (b) and (c)),
# KESTRANE_DEVICESIM_PROGRESS_MS (300: the simulated installation's own duration).
# Results go to bench/results/device-cli-<date>-<time>/ (summary.txt).
set -eu
BENCH=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$BENCH")
BUILD=$(cd "${1:-$ROOT/build-release}" && pwd)
RUNS=${KESTRANE_BENCH_RUNS:-20}
INSTALL_RUNS=${KESTRANE_BENCH_INSTALL_RUNS:-3}
BIN="$BUILD/bin"
cmake --build "$BUILD" --target kestrane-device >/dev/null
RESULTS="$BENCH/results/device-cli-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$RESULTS"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The simulator's and Kestrane's state in a folder of the benchmark's own; no deploy tool but the
# bundled simulator is looked at.
export KESTRANE_DEVICESIM_HOME="$WORK/sim" XDG_STATE_HOME="$WORK/state"
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export KESTRANE_DEVICESIM_PROGRESS_MS="${KESTRANE_DEVICESIM_PROGRESS_MS:-300}"
export KESTRANE_DEVICE_PASSWORD=z30
unset KESTRANE_DEPLOY_TOOL

# The Java runtime kestrane-device finds (the first one in /usr/lib/jvm, as DiscoverJavaBinDir
# does on Debian) is the one on the PATH here.
JAVA=$(readlink -f "$(command -v java)")
echo "java: $JAVA ($(java -version 2>&1 | head -1))" >"$RESULTS/summary.txt"
echo "machine: $(nproc) cores, $(uname -r)" >>"$RESULTS/summary.txt"

# The deploy tool's command as kestrane-device builds it (DeployCommand, LauncherCommand), its
# argument file written as JavaArgumentFileText writes it.
HOME_DIR="$XDG_STATE_HOME/kestrane/deploy-tool"
mkdir -p "$HOME_DIR"
ARGS="$WORK/arguments"
printf '"%s"\n' -jar "$BIN/lib/BarDeploy.jar" -listDeviceInfo -device 169.254.0.1 -password z30 \
  >"$ARGS"
chmod 600 "$ARGS"
BARE="'$(dirname "$JAVA")/java' '-Djava.security.properties=$BIN/lib/deploy-tls.security' \
'-Duser.home=$HOME_DIR' -Xmx512M '@$ARGS'"
FRONT="'$BIN/kestrane-device' --device 169.254.0.1 info"

# Both give the Z30's identity before anything is timed.
sh -c "$BARE" | grep -q 'modelfullname::BlackBerry Z30' || {
  echo "bench: the bare deploy-tool command does not answer" >&2
  exit 1
}
sh -c "$FRONT" 2>/dev/null | grep -q 'Device name *BlackBerry Z30' || {
  echo "bench: kestrane-device info does not answer" >&2
  exit 1
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# median FILE: the median of the numbers in FILE, one a line.
median() { sort -n "$1" | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: >"$WORK/bare.ms"
: >"$WORK/front.ms"
i=0
while [ "$i" -lt "$RUNS" ]; do
  for which in bare front; do
    [ "$which" = bare ] && command=$BARE || command=$FRONT
    start=$(now_ms)
    sh -c "$command" >/dev/null 2>&1
    echo $(($(now_ms) - start)) >>"$WORK/$which.ms"
  done
  i=$((i + 1))
done
cp "$WORK/bare.ms" "$WORK/front.ms" "$RESULTS/"
bare=$(median "$WORK/bare.ms")
front=$(median "$WORK/front.ms")
{
  echo
  echo "(a) info, $RUNS runs each, alternating; medians in ms"
  echo "  bare deploy-tool command   $bare"
  echo "  kestrane-device info       $front"
  echo "  ratio                      $(awk "BEGIN {printf \"%.3f\", $front / $bare}")"
} >>"$RESULTS/summary.txt"

# (b) One BAR of about 1 MB, installed on N devices at once.
python3 "$BENCH/make-bars.py" "$WORK/bars" 1 1 >/dev/null
BAR="$WORK/bars/bench-0001.bar"

# peak_tree_kb PID: the largest sum of resident memory over PID and all its descendants (each
# deploy-tool run is started in a session of its own, so a process group would miss them),
# sampled until PID is gone.
peak_tree_kb() {
  peak=0
  while kill -0 "$1" 2>/dev/null; do
    sum=$(ps -e -o pid=,ppid=,rss= | awk -v root="$1" '
      { parent[$1] = $2; rss[$1] = $3 }
      END {
        for (p in parent) {
          q = p
          while (q != "" && q != root && q != 0 && q != 1) q = parent[q]
          if (q == root) s += rss[p]
        }
        print s + 0
      }')
    [ "$sum" -gt "$peak" ] && peak=$sum
    sleep 0.02
  done
  echo "$peak"
}

{
  echo
  echo "(b) install of one 1 MB BAR on N devices at once (169.254.0.1 repeated), $INSTALL_RUNS runs;"
  echo "    medians: wall ms, largest process's peak RSS MB, process tree's peak RSS sum MB"
} >>"$RESULTS/summary.txt"
for n in 1 4 8; do
  devices=""
  j=0
  while [ "$j" -lt "$n" ]; do
    devices="$devices --device 169.254.0.1"
    j=$((j + 1))
  done
  : >"$WORK/wall"
  : >"$WORK/rss"
  : >"$WORK/group"
  r=0
  while [ "$r" -lt "$INSTALL_RUNS" ]; do
    start=$(now_ms)
    # shellcheck disable=SC2086
    /usr/bin/time -f '%M' -o "$WORK/time.out" \
      "$BIN/kestrane-device" $devices install "$BAR" >"$WORK/out" 2>&1 &
    pid=$!
    peak_tree_kb "$pid" >>"$WORK/group"
    wait "$pid" || {
      cat "$WORK/out" >&2
      echo "bench: the installation on $n devices failed" >&2
      exit 1
    }
    echo $(($(now_ms) - start)) >>"$WORK/wall"
    tail -1 "$WORK/time.out" >>"$WORK/rss"
    [ "$(grep -c 'bench-0001.bar *installed' "$WORK/out")" = "$n" ] || {
      cat "$WORK/out" >&2
      echo "bench: not every device installed the BAR" >&2
      exit 1
    }
    r=$((r + 1))
  done
  printf '  %d device(s)  %6s ms  %6s MB  %6s MB\n' "$n" "$(median "$WORK/wall")" \
    "$(awk "BEGIN {printf \"%.0f\", $(median "$WORK/rss") / 1024}")" \
    "$(awk "BEGIN {printf \"%.0f\", $(median "$WORK/group") / 1024}")" >>"$RESULTS/summary.txt"
done

# (c) The developer's loop on one BAR: `install --launch` (one run of the tool, -installApp
#     -launchApp) against `install` followed by `launch PACKAGE` (the installation, then the
#     application list that finds the package, then the launch: three runs), alternating.
#     Its BAR names its Package-Id, as development builds do, so that the tool can launch it in
#     the installation's run.
python3 - "$WORK/clock.bar" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as bar:
    bar.writestr("META-INF/MANIFEST.MF",
                 "Package-Name: com.example.benchclock\r\nPackage-Id: testBenchClock01\r\n"
                 "Application-Name: Bench Clock\r\nApplication-Version: 1.0.0.1\r\n"
                 "Entry-Point-Type: Qnx/Elf\r\n")
    bar.writestr("native/app", os.urandom(1 << 20))
PY
: >"$WORK/together.ms"
: >"$WORK/apart.ms"
r=0
while [ "$r" -lt "$INSTALL_RUNS" ]; do
  start=$(now_ms)
  "$BIN/kestrane-device" --device 169.254.0.1 install --launch "$WORK/clock.bar" >"$WORK/out" 2>&1
  echo $(($(now_ms) - start)) >>"$WORK/together.ms"
  grep -q 'clock.bar *launched' "$WORK/out" || {
    cat "$WORK/out" >&2
    echo "bench: install --launch did not launch" >&2
    exit 1
  }
  start=$(now_ms)
  "$BIN/kestrane-device" --device 169.254.0.1 install "$WORK/clock.bar" >"$WORK/out" 2>&1 &&
    "$BIN/kestrane-device" --device 169.254.0.1 launch com.example.benchclock >>"$WORK/out" 2>&1
  echo $(($(now_ms) - start)) >>"$WORK/apart.ms"
  grep -q 'com.example.benchclock *running' "$WORK/out" || {
    cat "$WORK/out" >&2
    echo "bench: install, then launch did not launch" >&2
    exit 1
  }
  r=$((r + 1))
done
together=$(median "$WORK/together.ms")
apart=$(median "$WORK/apart.ms")
{
  echo
  echo "(c) one 1 MB BAR installed and launched, $INSTALL_RUNS runs each, alternating; medians in ms"
  echo "  install --launch (one tool run)            $together"
  echo "  install, then launch PACKAGE (three runs)  $apart"
  echo "  ratio                                      $(awk "BEGIN {printf \"%.3f\", $together / $apart}")"
} >>"$RESULTS/summary.txt"
cat "$RESULTS/summary.txt"
