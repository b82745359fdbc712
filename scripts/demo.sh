#!/usr/bin/env bash
# The main job on the bundled example: build the programs that ship and the package builder, turn
# examples/hello into an installer, install it silently under Wine with the real 32-bit setup.exe
# (through the 32-bit lane where this machine cannot execute 32-bit code), show what the install
# did, then uninstall it silently and show that nothing is left.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh" native:qevpack win32:setup
echo
echo "== Built (the programs that ship, 32-bit):"
ls -l "$root"/build/win32/bin/{setup.exe,uninst.exe,7-zip32.dll}

out="$root/out"
qevpack="$root/build/native/bin/qevpack"
echo
echo "== The example product made into an installer:"
"$qevpack" "$root/examples/hello" -o "$out" --setup "$root/build/win32/bin/setup.exe"
installer="$out/hello-setup.exe"

# A fresh 64-bit prefix for the demo, inside the build tree (nothing is written outside it), where
# the 32-bit installer runs as on 64-bit Windows. Only where no 32-bit lane works here is the
# installer made from the 64-bit build of the same sources instead.
arch=wow64
prefix="$root/build/demo/wine/$arch"
rm -rf "$prefix" "$prefix.home" "$prefix.lock" "$prefix.lane"
set +e
"$root/tests/wine/prefix.sh" "$prefix" wow64
lane_status=$?
set -e
case $lane_status in
  0)
    case ${QEV_LANE:-$(cat "$prefix.lane/kind")} in
      native) used="the 32-bit setup.exe (the program that ships), run natively by 32-bit Wine" ;;
      *) used="the 32-bit setup.exe (the program that ships); this machine cannot execute 32-bit
   code, so Wine's 32-bit loader runs under qemu-i386 (the 32-bit lane, tests/wine/lane.sh)" ;;
    esac ;;
  77)
    arch=win64
    used="the 64-bit build of the same setup.exe sources: this machine can run no 32-bit program
   (no 32-bit execution, no qemu-i386), so the program that ships could not be run"
    echo
    echo "== No 32-bit lane here; the installer is made from the 64-bit build instead:"
    bash "$root/scripts/build.sh" win64:setup
    "$qevpack" "$root/examples/hello" -o "$out/win64" --setup "$root/build/win64/bin/setup.exe"
    installer="$out/win64/hello-setup.exe"
    rm -rf "$prefix" "$prefix.home" "$prefix.lock" "$prefix.lane"
    prefix="$root/build/demo/wine/$arch"
    rm -rf "$prefix" "$prefix.home" "$prefix.lock" ;;
  *)
    echo "demo: the Wine prefix could not be made" >&2
    exit 1 ;;
esac

export DISPLAY=${DISPLAY:-}
stop_wine() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }
if [ -z "$DISPLAY" ]; then
  display=:$((500 + RANDOM % 400))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null; stop_wine' EXIT
  export DISPLAY=$display
else
  trap stop_wine EXIT
fi
echo
echo "== Silent install: hello-setup.exe -hp /D=\"C:\\Program Files\\Hello\" /LOG=C:\\hello-install.log"
echo "   with $used"
mkdir -p "$root/build/demo"
cp "$installer" "$root/build/demo/hello-setup.exe"
set +e
timeout 300 "$root/tests/wine/run.sh" "$prefix" "$arch" "$root/build/demo/hello-setup.exe" -hp \
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
echo "   live in the 32-bit view, Wow6432Node):"
# The registry keys the example writes, and one of them exported with regedit as UTF-8 text
# (nothing when the key is not there).
keys=('HKEY_CURRENT_USER\Software\HelloExample'
      'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Hello')
export_key() {
  rm -f "$c/demo-export.reg"
  timeout 120 "$root/tests/wine/run.sh" "$prefix" "$arch" regedit /e 'C:\demo-export.reg' "$1" \
    >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w
  [ -f "$c/demo-export.reg" ] && iconv -f UTF-16 -t UTF-8 "$c/demo-export.reg" | tr -d '\r'
  rm -f "$c/demo-export.reg"
}
for key in "${keys[@]}"; do
  text=$(export_key "$key")
  if [ -n "$text" ]; then
    sed '/^$/d;/^Windows Registry Editor/d' <<<"$text"
  else
    echo "[$key] (not found)"
  fi
done
echo
echo "== Install log (C:\\hello-install.log):"
cat "$c/hello-install.log" 2>/dev/null || echo "(none)"
echo
echo "== Silent uninstall: \"C:\\Program Files\\Hello\\uninst.exe\" -hp /LOG=C:\\hello-uninstall.log"
echo "   (uninst.exe waits for the uninstaller and ends with its exit code)"
temp_dir=$(ls -d "$c"/users/*/Temp 2>/dev/null | grep -v Public | head -1)
temp_before=$(ls -A "$temp_dir" 2>/dev/null | sort)
set +e
timeout 300 "$root/tests/wine/run.sh" "$prefix" "$arch" 'C:\Program Files\Hello\uninst.exe' -hp \
  '/LOG=C:\hello-uninstall.log'
ucode=$?
set -e
WINEPREFIX=$prefix wineserver -w
echo "exit code: $ucode"
echo
echo "== Uninstall log (C:\\hello-uninstall.log):"
cat "$c/hello-uninstall.log" 2>/dev/null || echo "(none)"
echo
echo "== What is left:"
if [ -d "$c/Program Files/Hello" ]; then
  echo "C:\\Program Files\\Hello still holds:"; (cd "$c/Program Files/Hello" && find . -printf '  %P\n')
else
  echo "C:\\Program Files\\Hello: removed"
fi
echo "shortcuts of Hello: $( (cd "$c/users" && find . -iname '*hello*.lnk' -printf '%P ') || true)(none other)"
for key in "${keys[@]}"; do
  text=$(export_key "$key")
  if [ -n "$text" ]; then
    values=$(grep -E '^("|@)' <<<"$text" || true)
    echo "[$key]: the key stays, values left: ${values:-(none)}"
  else
    echo "[$key]: removed"
  fi
done
temp_after=$(ls -A "$temp_dir" 2>/dev/null | sort)
left=$(comm -13 <(echo "$temp_before") <(echo "$temp_after") | grep -v '^$' | tr '\n' ' ' || true)
echo "new in the temporary folder: ${left:-(nothing)}"
[ "$code" -eq 0 ] && code=$ucode
stop_wine
# Wine's helpers may still be writing into the prefix for a moment after the server went.
for _ in 1 2 3 4 5; do rm -rf "$prefix" "$prefix.home" 2>/dev/null && break; sleep 1; done
echo
echo "demo: done (install, then uninstall: exit code $code; installed with $used)"
exit "$code"
