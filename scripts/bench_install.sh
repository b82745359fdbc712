#!/usr/bin/env bash
# Install benchmark (not a test): a ~300 MB product (executables, text, incompressible and sparse
# data, many small files) made into an installer by qevpack, installed silently under wine64 with
# the 64-bit build of setup.exe, against `sevenzip x` (the native build of the same extractor) on
# the same data archive. Prints the times and their ratio, the phases of the install (start-up,
# copy-out of the data block, extraction, the rest) and the peak memory of setup.exe.
# Usage: bench_install.sh [WORK_DIR]   (BENCH_MB=300 sets the product size)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build/bench_install}
size_mb=${BENCH_MB:-300}
qevpack=$root/build/native/bin/qevpack
sevenzip=$root/build/native/bin/sevenzip
setup=$root/build/win64/bin/setup.exe
prefix=$root/build/win64/wine/win64
for f in "$qevpack" "$sevenzip"; do
  [ -x "$f" ] || { echo "build the native tree first (scripts/build.sh native)" >&2; exit 1; }
done
[ -f "$setup" ] || { echo "build the win64 tree first (scripts/build.sh win64)" >&2; exit 1; }
mkdir -p "$work"
source_dir=$work/source

complete=$work/.product-$size_mb
if [ ! -f "$complete" ]; then
  echo "making the ${size_mb} MB product in $source_dir/files ..."
  rm -rf "$source_dir"
  python3 - "$source_dir/files" "$size_mb" <<'PY'
import glob, os, random, shutil, sys
out, size = sys.argv[1], int(sys.argv[2]) * 1_000_000
rng = random.Random(7)
total = 0
def put(rel, data):
    global total
    p = os.path.join(out, rel)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, "wb") as f:
        f.write(data)
    total += len(data)
# Executables (Wine's PE libraries): 30 %.
for pe in sorted(glob.glob("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.dll")):
    if total > 0.3 * size: break
    put("bin/" + os.path.basename(pe), open(pe, "rb").read())
# Many small files: 2,000 of 1-8 KB.
for i in range(2000):
    put("small/%02d/item_%04d.cfg" % (i % 40, i), rng.randbytes(rng.randint(512, 4096)).hex().encode())
# Text, word soup: up to 60 %.
words = [w.encode() for w in "install setup data file folder program component value registry key window text".split()]
i = 0
while total < 0.6 * size:
    put("text/%03d/doc_%05d.txt" % (i % 50, i),
        b"\r\n".join(b" ".join(rng.choice(words) for _ in range(10)) for _ in range(rng.randint(100, 40000))))
    i += 1
# Incompressible media: up to 88 %; sparse tables: the rest.
while total < 0.88 * size:
    put("media/blob_%03d.bin" % i, rng.randbytes(rng.randint(1 << 20, 8 << 20)))
    i += 1
while total < size:
    put("db/table_%03d.dat" % i, bytes(rng.randint(0, 3) for _ in range(1 << 20)) * 4)
    i += 1
PY
  touch "$complete"
fi
product_bytes=$(du -sb "$source_dir/files" | cut -f1)
product_files=$(find "$source_dir/files" -type f | wc -l)

cat > "$source_dir/package.ini" <<'INI'
[product]
name = QevBench
version = 1.0
switch_path = /D=
[package]
mode = appended
INI
installer=$work/out/QevBench-setup.exe
if [ ! -f "$installer" ] || [ "$complete" -nt "$installer" ] || [ "$setup" -nt "$installer" ]; then
  echo "building the installer with qevpack (7zz, default settings) ..."
  t0=$(date +%s.%N)
  "$qevpack" "$source_dir" -o "$work/out" --setup "$setup" >/dev/null
  t1=$(date +%s.%N)
  python3 -c "print('qevpack: %.1f s' % ($t1 - $t0))"
fi

# The data archive of the installer, cut out for the native run.
python3 - "$installer" "$work/data.7z" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
start = data.find("QEV-mark=7zipdataA".encode("gbk") + b"\x01") + 19
end = data.find("QEV-mark=7zipdataB".encode("gbk") + b"\x01", start)
open(sys.argv[2], "wb").write(data[start:end])
PY

printf 'machine: %s, %s cores; load %s\n' "$(uname -m)" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$product_bytes" "$product_files" "$installer" "$work/data.7z" <<'PY'
import os, sys
b, n, inst, arc = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
print("product: %.1f MB in %d files; installer %.1f MB; data archive %.1f MB (ratio %.3f)"
      % (b / 1e6, n, os.path.getsize(inst) / 1e6, os.path.getsize(arc) / 1e6, os.path.getsize(arc) / b))
PY

# Native extraction of the same archive.
rm -rf "$work/native_out"
t0=$(date +%s.%N)
/usr/bin/time -f %M -o "$work/native_mem" "$sevenzip" x "$work/data.7z" "-o$work/native_out" -y >/dev/null
t1=$(date +%s.%N)
native_s=$(python3 -c "print($t1 - $t0)")
native_kb=$(cat "$work/native_mem")
rm -rf "$work/native_out"

# The silent install under wine64, watched from outside.
"$root/tests/wine/prefix.sh" "$prefix" win64
drive_c=$prefix/drive_c
rm -rf "$drive_c/QevBench"
mkdir -p "$drive_c/QevBench"
export DISPLAY=${DISPLAY:-}
xvfb_pid=
if [ -z "$DISPLAY" ]; then
  Xvfb :$((500 + RANDOM % 400)) -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$work/display")
fi
trap '[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null' EXIT
WINEPREFIX=$prefix wineserver -w
echo
echo "silent install: QevBench-setup.exe -hp /D=C:\\QevBench\\app /LOG=C:\\QevBench\\log.txt"
echo "  (the win64 build of setup.exe under wine64: this machine runs no 32-bit code)"
python3 - "$root/tests/wine/run.sh" "$prefix" "$installer" "$drive_c" "$native_s" "$native_kb" \
  "$product_bytes" <<'PY'
import glob, os, re, subprocess, sys, time
from datetime import datetime
run_sh, prefix, installer, drive_c = sys.argv[1:5]
native_s, native_kb, product_bytes = float(sys.argv[5]), int(sys.argv[6]), int(sys.argv[7])
temps = [t for t in glob.glob(os.path.join(drive_c, "users", "*", "Temp")) +
         glob.glob(os.path.join(drive_c, "users", "*", "AppData", "Local", "Temp"))
         if "/Public/" not in t]
before = {t: set(os.listdir(t)) for t in temps}
app = os.path.join(drive_c, "QevBench", "app")
t0 = time.monotonic()
wall0 = datetime.now()
process = subprocess.Popen([run_sh, prefix, "win64", installer, "-hp", "/D=C:\\QevBench\\app",
                            "/LOG=C:\\QevBench\\log.txt"], cwd=os.path.dirname(installer),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
events, peak_kb, setup_pid = {}, 0, None
def mark(name):
    events.setdefault(name, time.monotonic() - t0)
while process.poll() is None:
    if setup_pid is None:
        for task in glob.glob(f"/proc/{process.pid}/task/*/children"):
            for kid in open(task).read().split():
                try:
                    if b"QevBench-setup.exe" in open(f"/proc/{kid}/cmdline", "rb").read():
                        setup_pid = int(kid)
                except OSError:
                    pass
    if setup_pid:
        try:
            status = open(f"/proc/{setup_pid}/status").read()
            m = re.search(r"VmHWM:\s+(\d+) kB", status)
            if m:
                peak_kb = max(peak_kb, int(m.group(1)))
        except OSError:
            pass
    copies = [os.path.join(t, n) for t in temps for n in os.listdir(t)
              if n not in before[t] and n.endswith(".7zqev")]
    if copies:
        mark("copy-out starts")
    elif "copy-out starts" in events:
        mark("copy removed")
    if os.path.isdir(app):
        mark("extraction starts")
    time.sleep(0.05)
total = time.monotonic() - t0
code = process.returncode
subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=prefix))
installed = sum(os.path.getsize(os.path.join(b, n)) for b, _, ns in os.walk(app) for n in ns)
print(f"  exit code {code}; {installed / 1e6:.1f} MB installed")
log = os.path.join(drive_c, "QevBench", "log.txt")
if code != 0 and os.path.isfile(log):
    lines = open(log, "rb").read().decode("utf-8", "replace").splitlines()
    print("  the install failed; the log ends:\n    " + "\n    ".join(lines[-3:]))
print(f"  setup.exe (wine64)  {total:7.2f} s  {product_bytes / 1e6 / total:6.1f} MB/s  "
      f"peak memory (VmHWM) {peak_kb / 1024:.1f} MB")
print(f"  sevenzip x (native) {native_s:7.2f} s  {product_bytes / 1e6 / native_s:6.1f} MB/s  "
      f"peak memory {native_kb / 1024:.1f} MB")
print(f"  ratio setup.exe / sevenzip: {total / native_s:.2f}")
# Phases: from the log's timestamps when they carry seconds, else from what was seen on disk.
stamps = []
if os.path.isfile(log):
    for line in open(log, "rb").read().decode("utf-8", "replace").splitlines():
        m = re.search(r"(\d{4}-\d\d-\d\d)[ T](\d\d:\d\d:\d\d(?:\.\d+)?)", line)
        if m:
            stamps.append((datetime.fromisoformat(m.group(1) + " " + m.group(2)), line))
if len(stamps) >= 2:
    first, last = stamps[0][0], stamps[-1][0]
    extracting = [s for s, line in stamps if "抽取" in line]
    print(f"  log: {len(stamps)} timestamped lines, first {(first - wall0).total_seconds():.2f} s "
          f"after the start, last {(last - wall0).total_seconds():.2f} s")
    if extracting:
        print(f"  from the log: before the first extracted file {(extracting[0] - wall0).total_seconds():6.2f} s, "
              f"extraction {(extracting[-1] - extracting[0]).total_seconds():6.2f} s, "
              f"after it {(last - extracting[-1]).total_seconds():6.2f} s")
copy_start = events.get("copy-out starts")
extract_start = events.get("extraction starts")
copy_removed = events.get("copy removed")
if copy_start is not None and extract_start is not None:
    print(f"  seen on disk: start-up {copy_start:6.2f} s, copy-out {extract_start - copy_start:6.2f} s, "
          f"extraction {(copy_removed or total) - extract_start:6.2f} s, "
          f"the rest {total - (copy_removed or total):6.2f} s")
else:
    print(f"  seen on disk: {events}")
PY
cp "$drive_c/QevBench/log.txt" "$work/install.log" 2>/dev/null || true
rm -rf "$drive_c/QevBench"
WINEPREFIX=$prefix wineserver -w
echo "  install log: $work/install.log"
