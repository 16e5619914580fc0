#!/usr/bin/env bash
# Posts a 256 MiB attachment to a loopback sink with "kavrin32 --post" and with Nyuu, in the
# same run, and prints speed, CPU and memory side by side. Usage: run.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/compare.py" "${1:?usage: run.sh BUILD_DIR}"
