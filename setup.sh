#!/usr/bin/env bash
# Installs every Debian package that building, playing and testing Flingo needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libgl-dev libpng-dev zlib1g-dev libfreetype-dev
  libvorbis-dev libogg-dev libopenal1
  googletest libgtest-dev
  libsqlite3-dev libsodium-dev libpq-dev postgresql
  fonts-quicksand fonts-dejavu-extra fonts-routed-gothic fonts-dotgothic16
  xvfb xdotool x11-utils libgl1-mesa-dri
  desktop-file-utils appstream
  clang libclang-rt-dev
)

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
