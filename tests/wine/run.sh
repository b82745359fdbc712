#!/usr/bin/env bash
# Runs a Windows program under Wine in the isolated prefix of the build tree; the exit status is
# the program's. Usage: run.sh PREFIX_DIR win64|win32 PROGRAM [ARGS...]
set -uo pipefail
prefix=$1
arch=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
"$here/prefix.sh" "$prefix" "$arch" || exit 125
export HOME="$prefix.home" WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$arch" = win32 ]; then
  export WINEARCH=win32
  loader=wine
else
  # The 64-bit loader runs 64-bit programs itself (no 32-bit code involved) and hands 32-bit
  # ones on to the 32-bit loader where the machine can execute it.
  export WINEARCH=win64
  loader=/usr/lib/wine/wine64
  [ -x "$loader" ] || loader=wine
fi
"$loader" "$@"
