#!/usr/bin/env bash
# The install script's decisions, with stand-ins for apt-get, dpkg and dpkg-query on PATH: no
# network, nothing installed. Each row: what is installed already, whether 'apt-get update'
# fails, which packages the indexes cannot give, then the exit code, a line the script must
# print, and the apt-get calls it must make (in order, one per line, '|' between them).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../tools/install-deps.sh
all_host="mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth cmake ninja-build googletest libgtest-dev clang libclang-rt-14-dev imagemagick xdotool python3 python3-unicorn python3-pefile xserver-xorg-core xserver-xorg-video-dummy x11-utils"
all_i386="wine32:i386 libxinerama1:i386 libxrandr2:i386 libxxf86vm1:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386 libxfixes3:i386 libxcomposite1:i386"

bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
cat > "$bin/dpkg-query" <<'S'
#!/usr/bin/env bash
for p in $STANDIN_INSTALLED; do [ "$p" = "${!#}" ] && { echo -n "install ok installed"; exit 0; }; done
exit 1
S
cat > "$bin/dpkg" <<'S'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && { [ -n "$STANDIN_I386" ] && echo i386; exit 0; }
echo "dpkg $*" >> "$STANDIN_LOG"
S
cat > "$bin/apt-get" <<'S'
#!/usr/bin/env bash
if [ "$1" = update ]; then
  echo "update" >> "$STANDIN_LOG"
  [ -z "$STANDIN_UPDATE_FAILS" ] || { echo "E: File has unexpected size. Mirror sync in progress?" >&2; exit 100; }
  exit 0
fi
shift 4  # install -y -qq --no-install-recommends
echo "install $*" >> "$STANDIN_LOG"
for p in "$@"; do
  for u in $STANDIN_UNAVAILABLE; do
    [ "$p" = "$u" ] && { echo "E: Package '$p' has no installation candidate" >&2; exit 100; }
  done
done
exit 0
S
printf '#!/bin/sh\necho 0\n' > "$bin/id"
chmod +x "$bin"/*

passed=0 failed=0
row() {  # name installed update_fails unavailable expected_exit expected_line expected_calls
  local log out code
  log=$(mktemp)
  out=$(PATH="$bin:$PATH" STANDIN_LOG="$log" STANDIN_INSTALLED="$2" STANDIN_UPDATE_FAILS="$3" \
        STANDIN_UNAVAILABLE="$4" STANDIN_I386=1 NVR_APT_TRIES=3 NVR_APT_PAUSE=0 bash "$script" 2>&1)
  code=$?
  local calls; calls=$(paste -sd'|' "$log"); rm -f "$log"
  if [ "$code" = "$5" ] && grep -qE -- "$6" <<<"$out" && [ "$calls" = "$7" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL %s: exit %s (want %s)\n  printed: %s\n  calls: %s\n  want:   %s\n' \
      "$1" "$code" "$5" "$out" "$calls" "$7"
  fi
}

row "nothing missing" "$all_host $all_i386" "" "" 0 '^$' ""
row "an update that fails every time, then installs from the indexes there are" \
  "$all_i386" 1 "" 0 "'apt-get update' failed 3 times" \
  "update|update|update|install $all_host"
row "32-bit Wine that cannot be installed" "$all_host" "" "wine32:i386" 0 \
  "^install-deps: 32-bit Wine could not be installed \(E: Package 'wine32:i386'.*the x86_64 build$" \
  "update|install $all_i386"
# The batch fails, then each package is tried alone so that the message names the one.
some_host=${all_host/ wine64/}
each=$(printf 'install %s|' $some_host)
row "a package the build needs that cannot be installed" "wine64 $all_i386" "" "xdotool" 1 \
  "^install-deps: cannot install xdotool, which the build needs$" "update|install $some_host|${each%|}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
