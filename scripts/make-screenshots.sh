#!/usr/bin/env bash
# Draws the program's windows into docs/screenshots/ from the real windows, offscreen, over a
# demo settings folder made afresh each run. Uses its own release build in build/screenshots.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/screenshots
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRIN32_TESTS=OFF \
  -DKAVRIN32_SCREENSHOTS=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target make_screenshots
# A fixed look whatever the desktop running this: Qt's own style, no desktop theme.
env -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE LANG=C.UTF-8 QT_SCALE_FACTOR=1 \
  "$build/scripts/screenshots/make_screenshots" "$here/docs/screenshots"
