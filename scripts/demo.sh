#!/usr/bin/env bash
# The main job on the bundled example: build everything, turn examples/hello into an installer
# with the package builder, install it silently under Wine, show what the install did.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh"
echo
echo "== Built (the programs that ship, 32-bit):"
ls -l "$root"/build/win32/bin/{setup.exe,uninst.exe,7-zip32.dll}

out="$root/out"
qevpack="$root/build/native/bin/qevpack"
echo
echo "== The example product made into an installer:"
"$qevpack" "$root/examples/hello" -o "$out" --setup "$root/build/win32/bin/setup.exe"

# The shipped installer is 32-bit. Where this machine's kernel cannot execute 32-bit code (no
# 32-bit Wine), the same installer is built from the 64-bit build of the same sources instead.
arch=win32
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  arch=win64
  echo
  echo "== 32-bit Wine cannot run here; installing with the 64-bit build of setup.exe:"
  "$qevpack" "$root/examples/hello" -o "$out/win64" --setup "$root/build/win64/bin/setup.exe"
fi
installer="$out/hello-setup.exe"
[ "$arch" = win64 ] && installer="$out/win64/hello-setup.exe"

# A fresh prefix for the demo, inside the build tree (nothing is written outside it).
prefix="$root/build/demo/wine/$arch"
rm -rf "$prefix" "$prefix.home" "$prefix.lock"
export DISPLAY=${DISPLAY:-}
if [ -z "$DISPLAY" ]; then
  display=:$((500 + RANDOM % 400))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null; WINEPREFIX=$prefix wineserver -k 2>/dev/null' EXIT
  export DISPLAY=$display
fi
echo
echo "== Silent install: hello-setup.exe -hp /D=\"C:\\Program Files\\Hello\" /LOG=C:\\hello-install.log"
mkdir -p "$root/build/demo"
cp "$installer" "$root/build/demo/hello-setup.exe"
set +e
"$root/tests/wine/run.sh" "$prefix" "$arch" "$root/build/demo/hello-setup.exe" -hp \
  '/D="C:\Program Files\Hello"' '/LOG=C:\hello-install.log'
code=$?
set -e
WINEPREFIX=$prefix wineserver -w
echo "exit code: $code"
c="$prefix/drive_c"
echo
echo "== Files in C:\\Program Files\\Hello:"
(cd "$c/Program Files/Hello" 2>/dev/null && find . -type f -printf '%8s  %P\n' | sort -k2) || echo "(none)"
echo
echo "== Shortcuts:"
(cd "$c/users" && find . -iname '*.lnk' -printf '%P\n' | sort) || true
echo
echo "== Registry (exported with regedit; the installer is a 32-bit program, so its HKLM values"
echo "   live in the 32-bit view, Wow6432Node, where the 32-bit setup.exe writes them):"
for key in 'HKEY_CURRENT_USER\Software\HelloExample' \
           'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Hello'; do
  rm -f "$c/demo-export.reg"
  "$root/tests/wine/run.sh" "$prefix" "$arch" regedit /e 'C:\demo-export.reg' "$key" >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w
  if [ -f "$c/demo-export.reg" ]; then
    iconv -f UTF-16 -t UTF-8 "$c/demo-export.reg" | tr -d '\r' | sed '/^$/d;/^Windows Registry Editor/d'
  else
    echo "[$key] (not found)"
  fi
done
echo
echo "== Install log (C:\\hello-install.log):"
cat "$c/hello-install.log" 2>/dev/null || echo "(none)"
echo
echo "== Uninstall: the uninstaller (uninst.exe, uninst.dat) comes with the uninstall issue; the"
echo "   demo prefix is removed instead."
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
# Wine's helpers may still be writing into the prefix for a moment after the server went.
for _ in 1 2 3 4 5; do rm -rf "$prefix" "$prefix.home" 2>/dev/null && break; sleep 1; done
echo
echo "demo: done (install exit code $code)"
exit "$code"
