#!/usr/bin/env bash
# Runs one command inside a private, throw-away desktop:
#   Xvfb on a display it picks itself, a private D-Bus session bus and fresh
#   XDG folders. Everything started here is stopped when the command ends.
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
  local env
  for env in /proc/[0-9]*/environ; do
    if grep -qzxF "TWK_HARNESS_RUN=$RUN" "$env" 2>/dev/null; then
      env=${env#/proc/}; echo "${env%/environ}"
    fi
  done
}

cleanup() {
  local pid
  for ((i=${#PIDS[@]}-1; i>=0; i--)); do
    pid=${PIDS[i]}
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
    kill -9 "$pid" 2>/dev/null || true
  done
  # Whatever the command left behind, detached or not.
  local left
  left=$(marked | grep -vx "$$" || true)
  if [ -n "$left" ]; then
    kill $left 2>/dev/null || true
    sleep 0.2
    kill -9 $(marked | grep -vx "$$") 2>/dev/null || true
  fi
  rm -rf "$RUN"
}
trap cleanup EXIT

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
unset NO_AT_BRIDGE WAYLAND_DISPLAY

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
