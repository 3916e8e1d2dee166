#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Tarq needs (only what is missing).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config
  libpcre2-dev libzip-dev nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libdtl-dev
  qt6-base-dev qt6-webengine-dev qt6-webchannel-dev xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
