#!/bin/sh
# Runs a command in a private D-Bus session of its own, with a home of its own (removed
# afterwards), never the user's session or keyring:
#   keyring-session.sh keyring COMMAND...  a Secret Service answers: gnome-keyring-daemon, its
#                                          login keyring created and unlocked for the session
#   keyring-session.sh bare COMMAND...     no keyring service at all: a session bus that can
#                                          start no service (a server, a bare session)
# Needs dbus-run-session (dbus-bin), dbus-daemon and gnome-keyring (scripts/install-deps.sh).
set -eu
mode=$1
shift
for tool in dbus-run-session dbus-daemon gnome-keyring-daemon; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "keyring-session.sh: $tool is missing (run scripts/install-deps.sh)" >&2
    exit 1
  fi
done

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
  XDG_STATE_HOME="$home/state" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
# No display: the keyring must never try to prompt on one.
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS || true

case $mode in
keyring)
  # --unlock reads the login keyring's password on standard input and creates the keyring with
  # it; the daemon stays for the session and ends with its bus.
  status=0
  dbus-run-session -- sh -c '
    printf kestrane-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"' sh "$@" || status=$?
  ;;
bare)
  cat >"$home/bare-session.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  status=0
  dbus-run-session --config-file="$home/bare-session.conf" -- "$@" || status=$?
  ;;
*)
  echo "keyring-session.sh: the mode is keyring or bare, not $mode" >&2
  exit 1
  ;;
esac
exit $status
