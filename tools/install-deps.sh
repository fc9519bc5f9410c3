#!/usr/bin/env bash
# Installs, idempotently, what the build and the tests need on a fresh Debian machine:
# the mingw-w64 cross compilers, Wine, Xvfb, the native test tools, the CPU emulator and PE reader
# (for /usr/bin/python3) that run the shipped files from outside, the installer compiler that
# packs both deliverables into a setup program, and an X server that shows two monitors side by
# side (Xorg with the dummy video driver) for the multi-monitor bed.
#
# 32-bit Wine (the bed that runs the shipped i686 files) is installed apart and last. When it
# cannot be had (the machine's mirror is in mid-sync, say), one line says so, the Wine tests run
# on the x86_64 build as on a machine without a 32-bit mode, and the install still succeeds. A
# package the build itself needs that cannot be installed fails the install, named.
#
# NVR_APT_TRIES and NVR_APT_PAUSE (seconds) set how often and how far apart 'apt-get update' is
# tried; the tests set them to keep short.
set -uo pipefail

host_packages=(mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth cmake
  ninja-build googletest libgtest-dev clang libclang-rt-14-dev imagemagick xdotool python3
  python3-unicorn python3-pefile xserver-xorg-core xserver-xorg-video-dummy x11-utils)
# 32-bit Wine, and the X libraries its display driver loads at run time from its own
# architecture. libwine:i386 only recommends them, and the 64-bit copies that come with the
# 64-bit packages are of no use to it: without the first two, 32-bit Wine reports one monitor
# where the X server shows two, and the two-monitor tests and the demo's last step fail.
i386_packages=(
  wine32:i386
  libxinerama1:i386   # the heads of the two-monitor bed's screen, each a monitor to Wine
  libxrandr2:i386     # the outputs and their modes, which Wine reads the monitors' places from
  libxxf86vm1:i386    # the video-mode handler the two-monitor bed turns off (UseXVidMode=N)
  libxrender1:i386    # the driver's drawing of text and of bitmaps the tests take pictures of
  libxcursor1:i386    # cursor shapes: the saver hides the pointer and gives it back
  libxi6:i386         # pointer input: the tests' mouse moves that end the saver
  libxfixes3:i386     # the driver's cursor and selection tracking, which the two above serve
  libxcomposite1:i386 # child windows of another process, as the plug-in and the preview lend
)

tries=${NVR_APT_TRIES:-3}
pause=${NVR_APT_PAUSE:-5}

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing() { local p; for p in "$@"; do have "$p" || echo "$p"; done; }

mapfile -t need_host < <(missing "${host_packages[@]}")
mapfile -t need_i386 < <(missing "${i386_packages[@]}")
[ ${#need_host[@]} -eq 0 ] && [ ${#need_i386[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#need_i386[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# A mirror in mid-sync serves one index of the wrong size for a while; every other index has been
# fetched by then and serves what it lists, so the install goes on with what the machine has.
updated=0
for try in $(seq "$tries"); do
  if $SUDO apt-get update -qq; then updated=1; break; fi
  [ "$try" -lt "$tries" ] && sleep "$pause"
done
[ "$updated" -eq 1 ] ||
  echo "install-deps: 'apt-get update' failed $tries times; installing from the package indexes this machine has" >&2

install() { $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }

if [ ${#need_host[@]} -gt 0 ] && ! install "${need_host[@]}"; then
  # Name every package that cannot be had on its own: the build needs each.
  failed=()
  for p in "${need_host[@]}"; do install "$p" || failed+=("$p"); done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "install-deps: cannot install ${failed[*]}, which the build needs" >&2
    exit 1
  fi
fi

if [ ${#need_i386[@]} -gt 0 ]; then
  if ! why=$(install "${need_i386[@]}" 2>&1); then
    why=$(grep -m1 '^E:' <<<"$why")
    echo "install-deps: 32-bit Wine could not be installed (${why:-apt-get failed}); the Wine tests will run on the x86_64 build" >&2
  fi
fi
exit 0
