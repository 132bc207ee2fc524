#!/usr/bin/env bash
# Installs what building and testing need on Debian; quick when everything is there.
set -euo pipefail
packages=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
          wine wine64 wine32:i386 xvfb xauth x11-utils xdotool libboost1.81-dev googletest imagemagick fonts-wine
          msitools)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Wine's 32-bit half runs the i686 program and 32-bit ICE suites; it comes from Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
