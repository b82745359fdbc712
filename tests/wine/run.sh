#!/usr/bin/env bash
# Runs a Windows program under Wine in the isolated prefix of the build tree; the exit status is
# the program's. Usage: run.sh PREFIX_DIR win64|win32 PROGRAM [ARGS...]
set -uo pipefail
prefix=$1
arch=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
"$here/prefix.sh" "$prefix" "$arch" || exit 125
. "$here/loader.sh"
"$loader" "$@"
