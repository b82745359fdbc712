#!/usr/bin/env bash
# Runs a Windows program under Wine in the isolated prefix of the build tree; the exit status is
# the program's, or 77 when the prefix is a wow64 one and this machine cannot run 32-bit programs
# (CTest counts that as skipped), or 134 when a 32-bit process crashed under emulation.
# Usage: run.sh PREFIX_DIR win64|wow64 PROGRAM [ARGS...]
set -uo pipefail
prefix=$1
arch=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
"$here/prefix.sh" "$prefix" "$arch"
case $? in
  0) ;;
  77) echo "run.sh: skipped: 32-bit programs cannot run on this machine" >&2; exit 77 ;;
  *) exit 125 ;;
esac
. "$here/loader.sh"
if [ "$arch" = wow64 ]; then
  lane_run "$loader" "$@"
  exit
fi
"$loader" "$@"
