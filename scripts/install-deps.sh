#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Idempotent: apt-get runs only when a package is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev libxcb1-dev qt6-svg-dev
  ffmpeg mplayer mediainfo libmediainfo0v5 libpulse0
  dvdauthor parallel
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  fonts-arphic-uming fonts-wqy-zenhei
  xvfb xauth x11-utils xdotool imagemagick
  desktop-file-utils appstream lintian dpkg-dev file man-db python3
  libxml2-utils bash-completion
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
