#!/usr/bin/env bash
# The desktop program's start-up against a bare QMainWindow program, and posting from the main
# window against "kavrin32 --post", each pair in the same run. Usage: run.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/compare.py" "${1:?usage: run.sh BUILD_DIR}"
