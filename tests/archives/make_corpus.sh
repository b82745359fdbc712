#!/usr/bin/env bash
# Makes the 7z test corpus with the real 7-Zip (7zz): a generated product tree (OUT/tree) and
# archives of it with the settings publishers use, plus crafted archives with hostile names.
# Usage: make_corpus.sh OUT_DIR. Does nothing when OUT_DIR already holds a corpus of this script.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
seven_zip=${SEVEN_ZIP:-7zz}
stamp=$(cat "$here/make_corpus.sh" "$here/make_tree.py" "$here/craft_hostile.py" | md5sum | cut -c1-32)
if [ -f "$out/.complete" ] && [ "$(cat "$out/.complete")" = "$stamp" ]; then exit 0; fi
command -v "$seven_zip" >/dev/null || { echo "make_corpus: $seven_zip not found" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)

pe_files=()
for f in /usr/i686-w64-mingw32/lib/zlib1.dll /usr/i686-w64-mingw32/lib/libwinpthread-1.dll \
         /usr/lib/gcc/i686-w64-mingw32/12-posix/libgomp-1.dll; do
  [ -f "$f" ] && pe_files+=("$f")
done
python3 "$here/make_tree.py" "$out/tree" "${pe_files[@]}"

password='密码 pass'
make() {  # make NAME SWITCHES...
  local name=$1
  shift
  (cd "$out/tree" && "$seven_zip" a -bd -y "$@" "$out/$name.7z" . >/dev/null)
  [ -f "$out/$name.7z" ] || { echo "make_corpus: $name.7z was not made" >&2; exit 1; }
}
make default
make mx9 -mx=9
make mx1 -mx=1
make solid_off -ms=off
make lzma -m0=LZMA
make ppmd -m0=PPMd
make copy -m0=Copy
make bcj2 -mf=BCJ2
make encrypted_headers "-p$password" -mhe=on
make encrypted "-p$password"
make delta -mf=Delta:4
printf '%s' "$password" >"$out/password.txt"
# Names Windows treats in its own way: a trailing dot (dropped by the path rules) and names that
# differ from older files only in case.
mkdir -p "$out/names/Folder" "$out/names/other"
printf 'new mixed' >"$out/names/Folder/Mixed.txt"
printf 'dotted' >"$out/names/Folder/dotted."
printf 'other' >"$out/names/other/x.txt"
(cd "$out/names" && "$seven_zip" a -bd -y "$out/names.7z" Folder/Mixed.txt other/x.txt Folder/dotted. >/dev/null)
python3 "$here/craft_hostile.py" "$seven_zip" "$out"
echo "$stamp" >"$out/.complete"
