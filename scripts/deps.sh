#!/usr/bin/env bash
# Installs the Debian 12 packages Tarnwick needs to build, run and test.
# Idempotent: asks apt only for what is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config git
  # libraries
  qt6-base-dev qt6-websockets-dev nlohmann-json3-dev libpulse-dev libx11-dev libsoxr-dev
  # window list and process ids (XCB, X-Resource), desktop entries and launching (GIO)
  libxcb1-dev libxcb-res0-dev libglib2.0-dev
  # clicks in the tray and HUD tests (XTest)
  libxtst-dev
  # the accessibility tree of other applications (AT-SPI)
  libatspi2.0-dev
  # tarnwick-server
  libsqlite3-dev
  # tarnwick-server's offline speech engine: recognition (with its US English model) and synthesis
  libpocketsphinx-dev pocketsphinx-en-us libespeak-ng-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the marking benchmark's comparison walk
  python3-pyatspi
  # the throw-away desktop the integration tests run in
  xvfb x11-utils dbus-daemon dbus-bin procps openbox at-spi2-core libatk-adaptor
  # real applications the integration tests launch, focus and quit
  galculator mousepad zenity
  # the sound server the audio tests run against, its tools, and speech to feed it
  pulseaudio pulseaudio-utils espeak-ng flite sox
  # URL-scheme registration of the desktop entry; file types for opening files (music)
  xdg-utils desktop-file-utils shared-mime-info
  # time-zone data: the local time the agent is told, and its tests
  tzdata
  # dark mode: the GSettings store (dconf) and the desktop's schemas, with its tool to read back
  dconf-gsettings-backend dconf-service gsettings-desktop-schemas libglib2.0-bin
  # Wi-Fi tests: a NetworkManager stand-in on a private system bus
  python3-dbusmock
  # synthesised keys, typing and clicks (XTest)
  libxtst-dev
  # the browser bridge's tests: a free port per test desktop, and the browser the extension runs in
  python3 chromium
  # the companion extension's own logic tests (node --test, nothing from npm)
  nodejs
  # key presses from outside the application (the global shortcut's tests)
  xdotool
  # a stand-in desktop portal on the test bus (the global shortcut's tests)
  python3-dbus python3-gi
  # screenshots: drawing the numbered badges (cairo), PNG (libpng); monitors and shared-memory capture (XCB RandR, MIT-SHM)
  libcairo2-dev libpng-dev libxcb-randr0-dev libxcb-shm0-dev
  # the screenshot benchmark's comparison (import, convert)
  imagemagick
  # reminders and calendar events: the desktop's calendar store and its client library
  evolution-data-server libecal2.0-dev libedataserver1.2-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "deps: installing ${missing[*]}" >&2
SUDO=()
[[ $(id -u) -eq 0 ]] || SUDO=(sudo)
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
