#!/usr/bin/env bash
# Configures and builds the three build trees: build/native (tools, unit tests), build/asan (unit
# tests with AddressSanitizer and UndefinedBehaviorSanitizer), build/win32 (the 32-bit Windows
# programs that ship, and their tests under Wine where this machine can run 32-bit code) and
# build/win64 (the same code built 64-bit, whose Windows tests run under wine64 on any machine).
# Usage: build.sh [TREE[:TARGET,...] ...] with TREE native, asan, win32 or win64 (default: all four,
# whole); "win32:setup" builds only the named targets of a tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(native asan win32 win64)
jobs=$(nproc)
# A compiler cache, when the machine has one, is shared by every checkout under the same parent.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
for spec in "${trees[@]}"; do
  t=${spec%%:*}
  targets=()
  [ "$t" = "$spec" ] || IFS=, read -r -a targets <<<"${spec#*:}"
  dir="$root/build/$t"
  case $t in
    native) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQEV_SANITIZE=ON -DQEV_TEST_PREFIX=asan.) ;;
    win32) args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQEV_TEST_PREFIX=win32.) ;;
    win64) args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DQEV_TEST_PREFIX=win64.) ;;
    *) echo "build.sh: unknown tree $t" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "${args[@]}" "${launcher[@]}" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs" ${targets[@]:+--target "${targets[@]}"}
done
