#!/usr/bin/env bash
# The main job on the bundled example: build everything, then show what was built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh"
echo
echo "Built:"
ls -l "$root"/build/win32/bin/{setup.exe,uninst.exe,7-zip32.dll} 2>/dev/null || true

# The bundled example product made into an installer by the package builder.
setup="$root/build/win32/bin/setup.exe"
if [ -x "$root/build/native/bin/qevpack" ] && [ -f "$setup" ]; then
  echo
  "$root/build/native/bin/qevpack" "$root/examples/hello" -o "$root/out" --setup "$setup"
fi
