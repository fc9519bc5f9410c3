#!/usr/bin/env bash
# Installs, idempotently, what the build and the tests need on a fresh Debian machine:
# the mingw-w64 i686 cross compilers, 32-bit Wine, Xvfb, the native test tools, and the CPU
# emulator and PE reader (for /usr/bin/python3) that run the shipped export from outside, and the
# installer compiler that packs both deliverables into a setup program, and an X server that
# shows two monitors side by side (Xorg with the dummy video driver) for the multi-monitor bed.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

for p in mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth cmake ninja-build \
         googletest libgtest-dev clang libclang-rt-14-dev imagemagick xdotool python3 \
         python3-unicorn python3-pefile nsis xserver-xorg-core xserver-xorg-video-dummy x11-utils; do
  have "$p" || need+=("$p")
done

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
