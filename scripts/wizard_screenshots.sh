#!/usr/bin/env bash
# Writes screenshots of the install wizard into docs/wizard/: the unpacking window, the six pages
# and the quit question, taken by the test driver from the bundled example (with a large file added
# so the unpacking and installing windows stay long enough to be seen) inside Wine's virtual
# desktop, which draws the window frames. Uses the 64-bit build on machines without 32-bit Wine.
# Usage: scripts/wizard_screenshots.sh [win32|win64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-win64}
bash "$root/scripts/build.sh" native "$tree" >/dev/null
bin=$root/build/$tree/bin
work=$root/build/$tree/shots
out=$root/docs/wizard
rm -rf "$work"
mkdir -p "$work" "$out"

# The example, with 96 MiB of incompressible data in 3,000 files, stored as they are: the unpacking
# window shows while the data is copied out, the installing page while the files are written.
cp -r "$root/examples/hello" "$work/source"
mkdir -p "$work/source/files/data"
head -c $((96 << 20)) /dev/urandom | split -b 32k -a 4 - "$work/source/files/data/part"
sed -i 's/^\[package\]$/[package]\ndata_options = -mx=0/' "$work/source/package.ini"
"$root/build/native/bin/qevpack" "$work/source" -o "$work/out" --setup "$bin/setup.exe" >/dev/null
installer=$(ls "$work"/out/*.exe)

win() { echo "Z:$(cd "$(dirname "$1")" && pwd | tr / '\\')\\$(basename "$1")"; }
cat >"$work/steps.txt" <<EOF
start "$(win "$installer")"
window class:QevUnpackingWindow 60
shot $(win "$work/unpacking.bmp")
window ~Hello 120
sleep 800
shot $(win "$work/1-welcome.bmp")
click 取消(&C)
box ~是否退出安装？
sleep 500
shot $(win "$work/7-quit-question.bmp")
answer no
click 下一步(&N)
wait ~阅读授权协议
click 同意本协议的条款
sleep 500
shot $(win "$work/2-licence.bmp")
click 我接受(&I)
wait 选择组件
select 桌面快捷方式
sleep 500
shot $(win "$work/3-components.bmp")
click 下一步(&N)
wait 选择安装位置
sleep 500
shot $(win "$work/4-directory.bmp")
click 安装(&I)
wait ~抽取: 120
sleep 150
shot $(win "$work/5-installing.bmp")
wait 完成(&F) 180
sleep 800
shot $(win "$work/6-finish.bmp")
click 完成(&F)
exit any
EOF

display_number=$((RANDOM % 900 + 100))
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=":$display_number"
prefix=$root/build/$tree/wine/$tree
"$root/tests/wine/prefix.sh" "$prefix" "$tree"
# A prefix made before Wine's own fonts were installed lacks the glyphs of the window frames; the
# Chinese face the prefix links its dialog fonts to is put beside them, where captions find it.
for font in /usr/share/wine/fonts/*.ttf /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
  [ -f "$font" ] && [ ! -f "$prefix/drive_c/windows/Fonts/$(basename "$font")" ] &&
    cp "$font" "$prefix/drive_c/windows/Fonts/"
done
# Window captions in the Chinese face (bold, 8 pt), as Chinese Windows draws them; Wine's own
# caption face has no Chinese characters.
caption_font=f5ffffff000000000000000000000000bc0200000000000100000000570065006e005100750061006e005900
caption_font+=690020004d006900630072006f00200048006500690000000000000000000000000000000000000000000000
caption_font+=00000000
"$root/tests/wine/run.sh" "$prefix" "$tree" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' \
  /v CaptionFont /t REG_BINARY /d "$caption_font" /f >/dev/null 2>&1 || true
timeout 600 "$root/tests/wine/run.sh" "$prefix" "$tree" explorer /desktop=qevshots,${QEV_DESKTOP:-720x480} \
  "$(win "$bin/qevdrive.exe")" "$(win "$work/steps.txt")" || true
WINEPREFIX=$prefix wineserver -w || true

shots=0
for bmp in "$work"/*.bmp; do
  [ -f "$bmp" ] || continue
  name=$(basename "$bmp" .bmp)
  convert "$bmp" -strip "PNG24:$out/$name.png"
  shots=$((shots + 1))
done
echo "wizard_screenshots: $shots screenshots in $out"
[ "$shots" -eq 8 ]
