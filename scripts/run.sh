#!/usr/bin/env bash
# Builds kx7sdu and starts it with an emulated cedar-gen4 controller on COM1 (a pseudo-terminal),
# so the program has a controller to find without any hardware, and opens the terminal, where the
# controller's touches appear. Without a display it runs offscreen, saves a picture of the main
# window and prints where it is, what the status bar shows and the terminal's last lines.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
"$here/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX7_BUILD_TESTS=OFF
# The settings file lives in the current folder; keep the demo's beside the build.
mkdir -p "$build/run"
cd "$build/run"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/gui/kx7sdu" --emulate cedar-gen4 --command kTerminal "$@"
fi
picture="$build/run/kx7sdu.png"
echo "No display found: running kx7sdu offscreen and saving a picture of its main window."
QT_QPA_PLATFORM=offscreen "$build/gui/kx7sdu" --emulate cedar-gen4 --command kTerminal --screenshot "$picture,8000" "$@"
