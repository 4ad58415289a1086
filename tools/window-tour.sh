#!/bin/sh
# Drives a Kestrane program as a user does, on a display of its own (Xvfb), against the device
# simulator beside it: connects to the simulated Z30, opens the install screen (adding three BAR
# files when that screen takes them) and the manage screen, then exits through "Exit".
#
#   tools/window-tour.sh PROGRAM [SHOTS_DIR]
#
# PROGRAM is the program to start (build-release/bin/kestrane, an installed copy or its launcher).
# With SHOTS_DIR, the three screens are saved there as main.png, install.png and manage.png
# (and the whole screen as failure.png when the tour fails).
# Exits 0 when the program connected (the tool was asked for the device's information with the
# typed address and password, and the connection panel folded away as it does on success);
# 1 with the reason otherwise. The simulator keeps its state in a temporary folder, removed at
# the end; nothing is left running.
#
# Needs xvfb-run, xdotool and ImageMagick (import, /usr/bin/convert); the controls are reached by
# their keyboard accelerators and by their places in the window's fixed design.
set -eu

fail() {
  echo "window-tour: $*" >&2
  # What the screen showed, for the person who reads the failure.
  if [ -n "${shots:-}" ] && [ -n "${DISPLAY:-}" ]; then
    import -window root "$shots/failure.png" 2>/dev/null &&
      echo "window-tour: the screen is in $shots/failure.png" >&2
  fi
  exit 1
}

if [ -z "${KESTRANE_TOUR_DISPLAY:-}" ]; then
  [ $# -ge 1 ] || fail "usage: $0 PROGRAM [SHOTS_DIR]"
  command -v xdotool >/dev/null || fail "xdotool is not installed"
  command -v xvfb-run >/dev/null || fail "xvfb-run is not installed"
  # The same script again, inside a display of its own that ends with it.
  export KESTRANE_TOUR_DISPLAY=1
  exec timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

program=$1
shots=${2:-}
[ -x "$program" ] || fail "no program at $program"
if [ -n "$shots" ]; then
  mkdir -p "$shots"
  rm -f "$shots/failure.png"
fi

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export KESTRANE_DEVICESIM_HOME="$work/state"
# Kestrane's own state (the deploy tool's login data) stays in the tour's folder too.
export XDG_STATE_HOME="$work/kestrane-state"
export KESTRANE_DEVICESIM_ARGS_LOG="$work/args.log"
# The same window in every run: no platform theme, the design's own style.
unset QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE

# The arguments of the simulator's last run, separated by blanks.
last_run() {
  if [ -f "$KESTRANE_DEVICESIM_ARGS_LOG" ]; then
    tr '\0' ' ' <"$KESTRANE_DEVICESIM_ARGS_LOG"
  fi
}

# Waits (up to $1 seconds) until the simulator's last run holds $2, then (up to a minute) until
# the program has no command running (no shell of its own left; the command reaper stays), then
# lets the window show it.
wait_for_run() {
  tries=$(($1 * 5))
  expected=$2
  until last_run | grep -q -- "$expected"; do
    box_shown && return 1
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.2
  done
  tries=300
  while pgrep -x sh -P "$pid" >/dev/null; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.2
  done
  sleep 0.5
}

# True when the program shows a window besides the main one (a message box).
box_shown() {
  [ "$(xdotool search --onlyvisible --pid "$pid" | wc -l)" -gt 1 ]
}

# Saves the window as $1.png in the shots folder (and in the work folder, for the checks).
grab() {
  import -window "$window" "$work/$1.png"
  if [ -n "$shots" ]; then
    cp "$work/$1.png" "$shots/$1.png"
  fi
}

# True when the area $2 (WxH+X+Y) of the saved picture $1 is nearly all white.
white_area() {
  mean=$(/usr/bin/convert "$work/$1.png" -crop "$2" +repage -format "%[fx:mean]" info:)
  awk -v mean="$mean" 'BEGIN { exit !(mean > 0.95) }'
}

click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
}

# A key pressed on the window, and time for the window to act on it before the next one.
press() {
  xdotool key --window "$window" "$1"
  sleep 0.7
}

# Three small BAR files (a manifest and a descriptor each), made with the JDK's jar tool.
make_bars() {
  jar=$(command -v jar || true)
  [ -n "$jar" ] || return 1
  mkdir -p "$work/bars/native"
  echo '<qnx/>' >"$work/bars/native/bar-descriptor.xml"
  for app in "Blaze Runner:2.1.0.14:Northwind Games:game" \
    "Notes Plus:1.4.2.0:Quill Labs:notes" \
    "Weather Now:3.0.0.7:Cirrus Apps:weather"; do
    IFS=: read -r name version author file <<EOF
$app
EOF
    printf 'Application-Name: %s\nApplication-Version: %s\nPackage-Author: %s\nEntry-Point-Type: Qnx/Elf\n' \
      "$name" "$version" "$author" >"$work/bars/manifest.txt"
    "$jar" --create --file "$work/bars/$file.bar" --manifest "$work/bars/manifest.txt" \
      -C "$work/bars" native || return 1
  done
}

# Adds the BAR files through "Add" and its file dialog, when the install screen opens one.
add_bars() {
  make_bars || return 0
  press alt+a
  dialog=$(timeout 5 xdotool search --sync --onlyvisible --name "^Select PlayBook BAR files\$" |
    head -1) || return 0
  [ -n "$dialog" ] || return 0
  sleep 0.5
  # The file name field has the focus: go to the folder, then choose the three files.
  xdotool type --window "$dialog" "$work/bars/"
  xdotool key --window "$dialog" Return
  sleep 0.5
  xdotool type --window "$dialog" '"game.bar" "notes.bar" "weather.bar"'
  # The dialog closes on the key press and may be gone before the key's release is sent, which
  # xdotool reports as an error: what counts is that the dialog went away.
  xdotool key --window "$dialog" Return 2>/dev/null || true
  sleep 2
  ! xdotool search --onlyvisible --name "^Select PlayBook BAR files\$" >/dev/null ||
    fail "the file dialog did not take the three BAR files"
  # Without a window manager nobody gives the focus back when the dialog closes: a click on the
  # list's empty part does, so that the next accelerators reach the window.
  xdotool windowfocus "$window" 2>/dev/null || true
  click 320 330
}

"$program" >"$work/program.log" 2>&1 &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Kestrane - BlackBerry 10 Utilities" |
  head -1) || true
[ -n "$window" ] || fail "the window did not appear; program output: $(cat "$work/program.log")"
sleep 1
# The bundled simulator answers here, and the title says so.
xdotool getwindowname "$window" | grep -q "\[device simulator\]" ||
  fail "the title does not say that the device simulator answers: $(xdotool getwindowname "$window")"

# Connect to the simulated Z30: its address and password typed in, then "Connect".
click 180 92 # the address field
xdotool key --window "$window" ctrl+a BackSpace
xdotool type --window "$window" "169.254.0.1"
click 180 122 # the password field
xdotool type --window "$window" "z30"
click 158 170 # Connect
if ! wait_for_run 60 "-listDeviceInfo -device 169.254.0.1 -password z30"; then
  box_shown && fail "Connect showed a message box instead of the device (last run: $(last_run))"
  fail "Connect did not run the deploy tool as expected (last run: $(last_run))"
fi
grab main
! box_shown || fail "Kestrane showed a message box after Connect"
# On success the connection panel folds away: right of the panel's heading, its grey gives way to
# the white of the information card (above the card's heading, where no device value is drawn).
white_area main 70x9+220+15 || fail "the connection panel did not fold away after Connect"

press alt+i
add_bars
grab install
press alt+b

# The first visit of the manage screen loads the list of installed applications.
press alt+m
wait_for_run 5 "-listInstalledApps" || true
grab manage
press alt+b

press alt+e
tries=50
while kill -0 "$pid" 2>/dev/null && [ "$tries" -gt 0 ]; do
  tries=$((tries - 1))
  sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Exit"
wait "$pid" || fail "the program ended with status $?"
pid=
echo "window-tour: connected to the simulated Z30 and visited the three screens"
