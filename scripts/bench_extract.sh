#!/usr/bin/env bash
# Extraction benchmark (not a test): our sevenzip command against 7zz, on a 300 MB mixed tree
# packed as LZMA2 -mx=9 in one block, as LZMA2 with several blocks, and executable-heavy with BCJ2.
# The commands run in turn (ours, 7zz -mmt=1, 7zz, ours, ...) BENCH_RUNS times (default 5) into
# memory (tmpfs), and every figure is a median: wall time, processor time (user + system), MB/s of
# output and peak memory, with the ratios against their targets:
#   one LZMA2 block and BCJ2: 7zz -mmt=1 / sevenzip, processor time   >= 1.0
#   several LZMA2 blocks:     7zz (all cores) / sevenzip, wall time    >= 1.0
# On a busy machine compare processor times; the load is printed first.
# Where the win32 tree is built, the shipped 32-bit 7-zip32.dll extracts the same archives too
# (install_bench.exe under Wine, through the 32-bit lane; BENCH_32=0 leaves it out): its figures are
# the extracting process's own, Wine's file path included, and marked as emulated where the lane
# runs 32-bit code under qemu.
# Usage: bench_extract.sh [WORK_DIR]
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

lane32=
prefix32=$root/build/win32/wine/wow64
if [ "${BENCH_32:-1}" != 0 ] && [ -f "$root/build/win32/bin/install_bench.exe" ] &&
   [ -f "$root/build/win32/bin/7-zip32.dll" ]; then
  # Starts the prefix and settles the lane before anything is timed.
  status=0
  WINEDEBUG=-all "$root/tests/wine/run.sh" "$prefix32" wow64 "$root/build/win32/bin/install_bench.exe" \
    >/dev/null 2>&1 || status=$?
  case $status in  # 2: its usage line, so 32-bit programs run
    2) lane32=$(cat "$prefix32.lane/kind" 2>/dev/null || echo unknown) ;;
    *) echo "32-bit library: the 32-bit lane cannot run here; left out" ;;
  esac
  trap 'WINEPREFIX=$prefix32 HOME=$prefix32.home wineserver -k 2>/dev/null || true' EXIT
fi

printf 'machine: %s, %s cores; load %s\n' "$(uname -m)" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$work" "$sevenzip" "$tree_bytes" "$bin_bytes" "${BENCH_RUNS:-5}" "$lane32" "$root" <<'PY'
import os, re, shutil, statistics, subprocess, sys, time
work, sevenzip = sys.argv[1], sys.argv[2]
tree_bytes, bin_bytes, runs = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
lane32, root = sys.argv[6], sys.argv[7]
# Output into memory: a disk file system that gets the same thousands of names again seconds after
# they were deleted spends, by chance, more time finding free inodes than the extraction itself.
out = f"/dev/shm/qevbench-extract-{os.getpid()}"

def measure(cmd):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    t0 = time.monotonic()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.monotonic() - t0
    shutil.rmtree(out, ignore_errors=True)
    return dict(wall=wall, cpu=ru.ru_utime + ru.ru_stime, peak=ru.ru_maxrss / 1024,
                status=os.waitstatus_to_exitcode(status))

def wine_path(p):
    return "Z:" + p.replace("/", "\\")

def print_library32(archive, size, ours):
    """The shipped 32-bit library on the same archive: install_bench.exe's own wall and processor
    times (Wine's start is not in them), beside the native command's."""
    bin32 = os.path.join(root, "build", "win32", "bin")
    cmd = [os.path.join(root, "tests", "wine", "run.sh"), os.path.join(root, "build", "win32", "wine", "wow64"),
           "wow64", os.path.join(bin32, "install_bench.exe"), "extract",
           wine_path(os.path.join(bin32, "7-zip32.dll")), wine_path(archive), wine_path(out)]
    walls, cpus = [], []
    for _ in range(runs):
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           env=dict(os.environ, WINEDEBUG="-all"), text=True)
        shutil.rmtree(out, ignore_errors=True)
        m = re.search(r"result 0, wall ([0-9.]+) s, processor ([0-9.]+) s", p.stdout)
        if p.returncode != 0 or not m:
            print(f"  7-zip32.dll  FAILED ({p.returncode})")
            return
        walls.append(float(m.group(1)))
        cpus.append(float(m.group(2)))
    kind = "emulated by qemu-i386" if lane32 in ("private", "global") else "run natively"
    wall, cpu = statistics.median(walls), statistics.median(cpus)
    print(f"  7-zip32.dll  wall {wall:6.2f} s  cpu {cpu:6.2f} s  {size / 1e6 / wall:6.1f} MB/s  "
          f"(32-bit, under Wine, {kind}; {cpu / statistics.median(r['cpu'] for r in ours):.2f}x "
          f"the processor time of sevenzip)")

for name, size, target in (("lzma2_one_block", tree_bytes, "7zz -mmt=1"),
                           ("lzma2_blocks", tree_bytes, "7zz"),
                           ("bcj2", bin_bytes, "7zz -mmt=1")):
    archive = os.path.join(work, name + ".7z")
    commands = {
        "sevenzip": [sevenzip, "x", archive, "-o" + out, "-y"],
        "7zz -mmt=1": ["7zz", "x", "-bd", "-y", "-mmt=1", "-o" + out, archive],
        "7zz": ["7zz", "x", "-bd", "-y", "-o" + out, archive],
    }
    results = {k: [] for k in commands}
    for _ in range(runs):
        for k, cmd in commands.items():
            results[k].append(measure(cmd))
    packed = os.path.getsize(archive)
    print(f"{name}: {packed / 1e6:.1f} MB -> {size / 1e6:.1f} MB, ratio {packed / size:.3f}; "
          f"median of {runs} runs")
    for k, rs in results.items():
        wall = statistics.median(r["wall"] for r in rs)
        bad = [r["status"] for r in rs if r["status"] != 0]
        print(f"  {k:12} wall {wall:6.2f} s  cpu {statistics.median(r['cpu'] for r in rs):6.2f} s  "
              f"{size / 1e6 / wall:6.1f} MB/s  peak {statistics.median(r['peak'] for r in rs):6.1f} MB"
              + (f"  FAILED {bad}" if bad else ""))
    # Paired ratios: each run of ours against the anchor run next to it.
    field = "cpu" if target == "7zz -mmt=1" else "wall"
    ratio = statistics.median(a[field] / b[field] for a, b in zip(results[target], results["sevenzip"]))
    cpu_ratio = statistics.median(a["cpu"] / b["cpu"] for a, b in zip(results[target], results["sevenzip"]))
    print(f"  speed of sevenzip relative to {target}: {ratio:.2f} by {field} time (target >= 1.0)"
          + ("" if field == "cpu" else f"; by processor time {cpu_ratio:.2f}"))
    if lane32:
        print_library32(archive, size, results["sevenzip"])

PY
