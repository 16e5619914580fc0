#!/usr/bin/env bash
# Installs Debian's inn2 (with the decoders the posting tests use) on a machine that has no
# systemd and whose host name may lack a dot. Quick when everything is already installed.
#   - a temporary policy-rc.d keeps the package from starting a system-wide innd (port 119 on
#     every interface), exim4 or cron;
#   - innconfval fails without a domain, which leaves inn2 half-configured: a "domain:" line in
#     /etc/news/inn.conf and "dpkg --configure -a" finish it.
set -euo pipefail

pkgs=(inn2 uudeview mpack sharutils openssl)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo -E"
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  made_policy=1
fi
cleanup() { [ "$made_policy" -eq 1 ] && $sudo rm -f "$policy"; return 0; }
trap cleanup EXIT

add_domain() {
  if [ -f /etc/news/inn.conf ] && ! grep -q '^domain:' /etc/news/inn.conf; then
    echo 'domain: localdomain' | $sudo tee -a /etc/news/inn.conf >/dev/null
  fi
}

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  add_domain
  $sudo dpkg --configure -a
fi
add_domain
for p in "${pkgs[@]}"; do installed "$p" || { echo "could not install $p" >&2; exit 1; }; done
