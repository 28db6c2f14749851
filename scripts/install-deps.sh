#!/usr/bin/env bash
# Installs what the build and the test rig need from Debian's packages.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

pkgs=(
  make cmake g++ pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  googletest libgtest-dev
  gcc-multilib g++-multilib qemu-user-static
  wine wine64 wine32:i386 libwine:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  xvfb xauth x11-utils
  pulseaudio pulseaudio-utils
  imagemagick fonts-ipafont-gothic fonts-wine
  sox time bc python3
  clang libclang-rt-14-dev
)

missing=()
for p in "${pkgs[@]}"; do
  # dpkg-query answers "install ok installed" only for a package that is fully there
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
