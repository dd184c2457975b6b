#!/usr/bin/env bash
# Runs one command inside a private, throw-away desktop:
#   Xvfb on a display it picks itself, a private D-Bus session bus and fresh
#   XDG folders. Everything started here is stopped when the command ends.
# Usage: tests/harness/desktop.sh COMMAND [ARGS...]
set -euo pipefail

RUN=$(mktemp -d /tmp/twk-desktop.XXXXXX)
PIDS=()

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

set +e
"$@"
rc=$?
set -e
exit $rc
