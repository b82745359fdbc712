#!/usr/bin/env bash
# Makes (once) an isolated Wine prefix: HOME lives inside it, and the user folders that Wine links
# to the Linux home are replaced by real folders, so nothing a test does can leave the build tree.
# Usage: prefix.sh PREFIX_DIR win64|wow64 (see loader.sh). Exits with 77 when the prefix
# needs 32-bit programs and this machine cannot run them.
set -euo pipefail
prefix=$1
arch=${2:-win64}
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
. "$(dirname "$0")/loader.sh"
if [ "$arch" = wow64 ]; then
  lane_prepare
  [ "$lane_kind" != none ] || exit 77
fi
if [ -f "$prefix/.qev-ready" ] && [ -f "$prefix/.qev-fonts" ]; then exit 0; fi
unset DISPLAY
if [ ! -f "$prefix/.qev-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix.home"
  if [ "$arch" = wow64 ]; then
    # Made through the lane, so that the 32-bit half of the prefix (syswow64) is set up as well.
    (lane_exec "$loader" wineboot -i) >/dev/null 2>&1 || true
    wineserver -w
    if [ ! -f "$prefix/drive_c/windows/syswow64/rundll32.exe" ]; then
      echo "prefix.sh: the 32-bit part of $prefix was not made (lane: $lane_kind)" >&2
      exit 1
    fi
  else
    "$loader" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  for user_dir in "$prefix"/drive_c/users/*/; do
    for entry in "$user_dir"* "$user_dir"AppData/Roaming/Microsoft/Windows/Templates; do
      if [ -L "$entry" ]; then
        rm -f "$entry"
        mkdir -p "$entry"
      fi
    done
  done
  # Nothing in the prefix may point back into a Linux home any more.
  if find "$prefix/drive_c/users" -type l | grep -q .; then
    echo "prefix.sh: symbolic links left in $prefix/drive_c/users" >&2
    exit 1
  fi
  touch "$prefix/.qev-ready"
fi
# Windows links its dialog fonts to a Chinese face, so message boxes show Chinese on every system;
# the prefix does the same with the Chinese font of this machine (also in prefixes made before).
if [ ! -f "$prefix/.qev-fonts" ]; then
  for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI"; do
    "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
  done
  wineserver -w
  touch "$prefix/.qev-fonts"
fi
