#!/usr/bin/env bash
# Runs one command inside a private, throw-away desktop:
#   Xvfb on a display it picks itself, a private D-Bus session bus, the
#   accessibility (AT-SPI) bus with accessibility switched on, the openbox
#   window manager (EWMH: client list, active window) and fresh XDG folders.
# Each piece is waited for before the next starts. Everything started here,
# and whatever the command started, is stopped when the command ends.
# With --audio it also runs a private PulseAudio server (PULSE_SERVER points
# at it) with a virtual microphone and a speaker that can be recorded:
#   sink "micfeed"  - play a file into it (paplay -d micfeed FILE) ...
#   source "vmic"   - ... and it comes out of this mono microphone, paced
#                     like a real one (the server's default input);
#   sink "spk"      - the default output; record "spk.monitor" to hear it.
# Usage: tests/harness/desktop.sh [--audio] COMMAND [ARGS...]
set -euo pipefail

AUDIO=0
if [[ "${1:-}" == "--audio" ]]; then
  AUDIO=1
  shift
fi

RUN=$(mktemp -d /tmp/twk-desktop.XXXXXX)
PIDS=()
# Every process of this run carries the marker, also those that detach
# themselves (a server the app starts): cleanup finds them by it.
export TWK_HARNESS_RUN="$RUN"

# PIDs of the processes whose environment holds this run's marker.
marked() {
  grep -lzxF "TWK_HARNESS_RUN=$RUN" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3
}

# Whether PID still runs (a zombie waiting for its parent does not).
running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}

# Stops PID after its descendants, deepest first, so that each process is
# reaped by its own parent instead of lingering as an orphaned zombie.
stop_tree() {
  local child
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do stop_tree "$child"; done
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 1 100); do running "$1" || return 0; sleep 0.01; done
  kill -9 "$1" 2>/dev/null || true
}

cleanup() {
  local i pid
  for ((i=${#PIDS[@]}-1; i>=0; i--)); do stop_tree "${PIDS[i]}"; done
  # Whatever the command left behind, detached or not.
  for pid in $(marked | grep -vx "$$"); do stop_tree "$pid"; done
  rm -rf "$RUN"
}
trap cleanup EXIT

# Whether the root window carries PROPERTY (xprop exits 0 either way).
root_has() { # root_has PROPERTY
  xprop -root "$1" 2>/dev/null | grep -q ' = \|window id'
}

wait_for() { # wait_for SECONDS COMMAND...
  local limit=$(( $1 * 50 )); shift
  for ((n=0; n<limit; n++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.02; done
  echo "desktop.sh: timed out waiting for: $*" >&2
  return 1
}

# X server: -displayfd lets Xvfb pick a free display without races.
exec 3>"$RUN/displayfd"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp +extension XTEST -noreset >"$RUN/xvfb.log" 2>&1 &
PIDS+=($!)
exec 3>&-
wait_for 10 test -s "$RUN/displayfd"
export DISPLAY=":$(head -n1 "$RUN/displayfd" | tr -d '[:space:]')"
wait_for 10 xdpyinfo -display "$DISPLAY"

# Private session bus.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$RUN/session_bus" >"$RUN/dbus.log" 2>&1 &
PIDS+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$RUN/session_bus"
wait_for 10 test -S "$RUN/session_bus"

# Fresh per-run folders, so no state leaks between runs or from the user.
mkdir -p "$RUN/runtime" "$RUN/config" "$RUN/cache" "$RUN/data" "$RUN/home"
chmod 700 "$RUN/runtime"
export XDG_RUNTIME_DIR="$RUN/runtime" XDG_CONFIG_HOME="$RUN/config" XDG_CACHE_HOME="$RUN/cache" \
       XDG_DATA_HOME="$RUN/data" HOME="$RUN/home"
export QT_QPA_PLATFORM=xcb GDK_BACKEND=x11
# Services the session bus starts on demand (dconf, the settings store) keep
# their state in this run's folders too, never in the user's.
wait_for 10 dbus-update-activation-environment XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME HOME
unset NO_AT_BRIDGE WAYLAND_DISPLAY
# The browser bridge's port is machine-wide: each desktop's Tarnwick gets a free one of its own.
TARNWICK_BRIDGE_PORT="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
export TARNWICK_BRIDGE_PORT

# Accessibility bus: the launcher starts its own dbus-daemon and publishes
# its address on the root window; the registry daemon starts on first use.
# Toolkits expose their widgets only while IsEnabled is true.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$RUN/at-spi.log" 2>&1 &
PIDS+=($!)
wait_for 10 root_has AT_SPI_BUS
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
  org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null

# Window manager: without one there is no active window and no client list.
openbox --sm-disable >"$RUN/openbox.log" 2>&1 &
PIDS+=($!)
wait_for 10 root_has _NET_SUPPORTING_WM_CHECK

if ((AUDIO)); then
  # Only the modules below: no hardware detection, no suspend-on-idle.
  cat >"$RUN/pulse.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$RUN/runtime/pulse-native
load-module module-null-sink sink_name=micfeed
load-module module-null-sink sink_name=spk
load-module module-remap-source source_name=vmic master=micfeed.monitor channels=1
set-default-source vmic
set-default-sink spk
EOF
  # --system=false and --disallow-exit keep a root-run server private and alive.
  pulseaudio --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    -n -F "$RUN/pulse.pa" --log-target=file:"$RUN/pulse.log" &
  PIDS+=($!)
  export PULSE_SERVER="unix:$RUN/runtime/pulse-native"
  wait_for 10 pactl info
  # An idle null sink renders in 2 s blocks; a low-latency reader on each
  # monitor keeps it rendering in small ones, so new streams start at once.
  for monitor in micfeed.monitor spk.monitor; do
    parec --device="$monitor" --latency-msec=10 --raw >/dev/null 2>"$RUN/parec-$monitor.log" &
    PIDS+=($!)
  done
  sleep 2.2
fi

set +e
"$@"
rc=$?
set -e
exit $rc
