#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick, installs it for this user
# (~/.local: the program, its desktop entry and the tarnwick:// URL scheme)
# and starts it. Arguments are passed to tarnwick.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
cmake --install build/default --prefix "$HOME/.local" >/dev/null

apps="$HOME/.local/share/applications"
update-desktop-database "$apps" 2>/dev/null || true
xdg-mime default tarnwick.desktop x-scheme-handler/tarnwick 2>/dev/null || true

exec "$HOME/.local/bin/tarnwick" "$@"
