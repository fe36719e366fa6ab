#!/usr/bin/env bash
# Installs, from Debian's archive, whatever of the build and test dependencies is missing.
set -euo pipefail
# fonts-liberation2 brings the family the forms' captions are measured in (the program's package
# depends on it); fonts-dejavu-core what Qt falls back to for everything else.
packages=(
  cmake ninja-build ccache g++ pkg-config
  qt6-base-dev libjpeg62-turbo-dev libsdl2-dev libasound2-dev libsdl2-mixer-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev lld
  xvfb xauth xdotool imagemagick fonts-dejavu-core fonts-liberation2
  desktop-file-utils appstream dpkg-dev lintian man-db python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || true
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
