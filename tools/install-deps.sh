#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Tarvell need.
# Quick when everything is already there.
set -euo pipefail
PACKAGES=(
  g++ cmake ninja-build pkg-config python3
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  qt6-webengine-dev
  libpugixml-dev libexpat1-dev libcurl4-openssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  xvfb xauth xdotool fonts-dejavu-core locales-all adwaita-icon-theme
  libcapstone-dev libdw-dev g++-multilib
  xdg-utils poppler-utils python3-aiosmtpd
  clang libclang-rt-14-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
