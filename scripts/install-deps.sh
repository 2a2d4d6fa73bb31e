#!/usr/bin/env bash
# Installs the Debian packages the build, the clips and the tests need, when
# they are missing; or, with package names as arguments, just those. Needs
# root (or sudo) only when something is missing.
set -euo pipefail

packages=("$@")
[ $# -gt 0 ] || packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libsdl2-dev libsdl2-ttf-dev libfontconfig-dev
  espeak-ng sox festival festvox-us-slt-hts festvox-italp16k
  dpkg-dev file desktop-file-utils man-db
  xvfb xdotool x11-utils imagemagick xauth fonts-dejavu-core fonts-liberation2
  clang clang-format-14 libclang-rt-14-dev
  python3 shellcheck pyflakes3
  g++-mingw-w64-x86-64-posix wine wine64 googletest zip nsis
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
