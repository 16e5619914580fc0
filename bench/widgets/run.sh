#!/usr/bin/env bash
# Times the virtual list box offscreen: painting after random jumps over few and over very
# many rows, and Shift+End over many rows. Prints the ratios.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
exe="$build/bench/widgets/kavrin32_widgets_bench"
[ -x "$exe" ] || { echo "not built: $exe" >&2; exit 1; }
QT_QPA_PLATFORM=offscreen "$exe"
