#!/usr/bin/env bash
# Saves a picture of the preferences window, as a new user first sees it, in
# docs/preferences-window.png. Needs no display: the window is drawn offscreen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake -S "$root" -B build -G Ninja >/dev/null
cmake --build build --target preferences_screenshot --parallel 3
mkdir -p docs
build/tests/app/qt/preferences_screenshot docs/preferences-window.png 2>/dev/null
echo "Saved docs/preferences-window.png"
