#!/usr/bin/env bash
# Installs the Debian packages a target needs, only those missing.
#   scripts/install-deps.sh build   - compiler, CMake, Ninja, Qt 6
#   scripts/install-deps.sh test    - build + GoogleTest and the test peers (news server, decoders)
#   scripts/install-deps.sh bench   - test + Google Benchmark and the peer tools
#   scripts/install-deps.sh package - build + the Debian packaging tools
set -euo pipefail

what=${1:-build}
build_pkgs=(g++ cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-svg-dev)
test_pkgs=(libgtest-dev libgmock-dev openssl)
bench_pkgs=(libbenchmark-dev coreutils sharutils)

pkgs=("${build_pkgs[@]}")
case "$what" in
  build) ;;
  test) pkgs+=("${test_pkgs[@]}") ;;
  bench) pkgs+=("${test_pkgs[@]}" "${bench_pkgs[@]}") ;;
  package) ;;
  *) echo "usage: $0 build|test|bench|package" >&2; exit 2 ;;
esac

# Every folder's extra packages (one package a line) join in.
here=$(cd "$(dirname "$0")" && pwd)
for list in "$here"/packages-"$what"*.txt; do
  [ -f "$list" ] || continue
  while read -r p; do [ -n "$p" ] && [ "${p#\#}" = "$p" ] && pkgs+=("$p"); done < "$list"
done

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
