#!/usr/bin/env bash
# Installs the Debian 12 packages Reciplex needs to build, test and run, but only
# those that are missing. Needs root (or sudo) when something must be installed.
#   tools/ensure-packages.sh [EXTRA_PACKAGE ...]   also the packages a script needs
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-webengine-dev libgl-dev
  libqt6sql6-sqlite qt6-charts-dev
  librsvg2-bin
  nginx-light wget apache2-utils python3
  xvfb xauth imagemagick
  desktop-file-utils appstream groff-base file
  clang libclang-rt-14-dev
  libcurl4-openssl-dev libsecret-1-dev
  dbus-daemon systemd gnome-keyring python3-aiosmtpd
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
