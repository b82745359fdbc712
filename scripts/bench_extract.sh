#!/usr/bin/env bash
# Extraction benchmark (not a test): our sevenzip command against 7zz, on a 300 MB mixed tree
# packed as LZMA2 -mx=9 in one block, as LZMA2 with several blocks, and executable-heavy with BCJ2.
# Prints MB/s of output, compression ratio and peak memory. Usage: bench_extract.sh [WORK_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build/bench_extract}
sevenzip=$root/build/native/bin/sevenzip
[ -x "$sevenzip" ] || { echo "build the native tree first (scripts/build.sh native)" >&2; exit 1; }
mkdir -p "$work"

if [ ! -f "$work/tree/.complete" ]; then
  echo "making the 300 MB tree in $work/tree ..."
  rm -rf "$work/tree"
  python3 - "$work/tree" <<'PY'
import os, random, sys, glob, shutil
out = sys.argv[1]
rng = random.Random(7)
os.makedirs(out)
total = 0
def put(rel, data):
    global total
    p = os.path.join(out, rel)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    open(p, "wb").write(data)
    total += len(data)
# executables: Wine's PE libraries, about 100 MB
pes = sorted(glob.glob("/usr/lib/i386-linux-gnu/wine/i386-windows/*.dll")) + \
      sorted(glob.glob("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.dll"))
for pe in pes:
    if total > 100e6: break
    os.makedirs(os.path.join(out, "bin"), exist_ok=True)
    shutil.copyfile(pe, os.path.join(out, "bin", os.path.basename(pe)))
    total += os.path.getsize(pe)
# text: about 100 MB of word soup in many files
words = [w.encode() for w in "install setup data file folder program component value registry key window text".split()]
i = 0
while total < 200e6:
    lines = b"\n".join(b" ".join(rng.choice(words) for _ in range(10)) for _ in range(rng.randint(100, 40000)))
    put("text/%03d/doc_%05d.txt" % (i % 97, i), lines)
    i += 1
# random (incompressible) data and sparse patterns: the last 100 MB
while total < 260e6:
    put("media/blob_%03d.bin" % i, rng.randbytes(rng.randint(1 << 20, 8 << 20)))
    i += 1
while total < 300e6:
    put("db/table_%03d.dat" % i, bytes(rng.randint(0, 3) for _ in range(1 << 20)) * 4)
    i += 1
PY
  touch "$work/tree/.complete"
fi
tree_bytes=$(du -sb --exclude=.complete "$work/tree" | cut -f1)

make_archive() {  # NAME SWITCHES...
  local name=$1
  shift
  [ -f "$work/$name.7z" ] && return
  echo "packing $name.7z ($*) ..."
  (cd "$work/tree" && 7zz a -bd -y "$@" "$work/$name.7z" . -x!.complete >/dev/null)
}
make_archive lzma2_one_block -m0=LZMA2 -mx=9 -mmt=1
# Several LZMA2 blocks (32 MB each, dictionary reset per block): what multi-threaded packing
# makes of big inputs, and what 7zz can decode on several threads.
make_archive lzma2_blocks -m0=LZMA2:c=32m -mx=9 -mmt=2
if [ ! -f "$work/bcj2.7z" ]; then
  echo "packing bcj2.7z ..."
  (cd "$work/tree" && 7zz a -bd -y -mf=BCJ2 -mx=9 "$work/bcj2.7z" bin >/dev/null)
fi
bin_bytes=$(du -sb "$work/tree/bin" | cut -f1)

run() {  # LABEL OUTPUT_BYTES COMMAND...
  local label=$1 bytes=$2
  shift 2
  rm -rf "$work/out"
  mkdir -p "$work/out"
  local t0 t1 mem
  t0=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null
  t1=$(date +%s.%N)
  mem=$(cat "$work/mem")
  python3 -c "import sys; s=$t1-$t0; print('  %-16s %7.2f s  %7.1f MB/s  peak %6.1f MB' % ('$label', s, $bytes/1e6/s, $mem/1024))"
}

printf 'machine: %s, %s cores; load %s\n' "$(uname -m)" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
for a in lzma2_one_block lzma2_blocks bcj2; do
  size=$(stat -c %s "$work/$a.7z")
  bytes=$tree_bytes
  [ $a = bcj2 ] && bytes=$bin_bytes
  python3 -c "print('%s: %.1f MB -> %.1f MB, ratio %.3f' % ('$a', $size/1e6, $bytes/1e6, $size/$bytes))"
  run sevenzip "$bytes" "$sevenzip" x "$work/$a.7z" "-o$work/out" -y
  run "7zz -mmt=1" "$bytes" 7zz x -bd -y -mmt=1 "-o$work/out" "$work/$a.7z"
  run 7zz "$bytes" 7zz x -bd -y "-o$work/out" "$work/$a.7z"
done
rm -rf "$work/out"
