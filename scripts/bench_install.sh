#!/usr/bin/env bash
# Install benchmark (not a test): a ~300 MB product (executables, text, incompressible and sparse
# data, many small files) made into an installer by qevpack, and three ways of unpacking its data
# archive, each run several times in turn:
#   native      `sevenzip x` (the native build of the extractor) on the data archive;
#   library     install_bench.exe under Wine: loads 7-zip32.dll and extracts the same archive
#               through its SevenZip entry, as the install run does, and nothing else;
#   setup.exe   the silent install `setup.exe -hp` under Wine (start-up, copy-out of the data
#               block, extraction, the rest).
# Every figure is the median of the runs: wall time, processor time (user + system of the
# process, plus what Wine's server spent for it) and peak memory. Printed beside their targets:
#   copy-out of the data block (install_bench.exe copy)        >= 1000 MB/s
#   library under Wine / native, processor time                 <= 1.3
#   setup.exe / library under Wine, processor time              <= 1.2
#   peak memory of setup.exe above the Wine process's own       <= dictionary + 32 MiB per thread
# The 64-bit build runs under wine64. The 32-bit build that ships runs where the 32-bit lane is
# there (tests/wine/lane.sh): emulated by qemu on machines without 32-bit execution, so its
# figures are printed apart and marked as such. Every run writes into memory (tmpfs, BENCH_OUT).
# Usage: bench_install.sh [WORK_DIR]   (BENCH_MB=300 product size, BENCH_RUNS=3 runs of each,
#        BENCH_RUNS_32=1 runs in the 32-bit lane)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build/bench_install}
size_mb=${BENCH_MB:-300}
runs=${BENCH_RUNS:-3}
qevpack=$root/build/native/bin/qevpack
sevenzip=$root/build/native/bin/sevenzip
for f in "$qevpack" "$sevenzip"; do
  [ -x "$f" ] || { echo "build the native tree first (scripts/build.sh native)" >&2; exit 1; }
done
for f in setup.exe install_bench.exe 7-zip32.dll; do
  [ -f "$root/build/win64/bin/$f" ] || { echo "build the win64 tree first (scripts/build.sh win64)" >&2; exit 1; }
done
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

cat > "$source_dir/package.ini" <<'INI'
[product]
name = QevBench
version = 1.0
switch_path = /D=
[package]
mode = appended
INI
# The package (everything appended behind the setup program) is made once by qevpack, which packs
# with 7zz for minutes; a newer setup.exe is then put in front of the same package.
package=$work/out/package-$size_mb.bin
if [ ! -f "$package" ] || [ "$complete" -nt "$package" ]; then
  echo "building the installer with qevpack (7zz, default settings) ..."
  "$qevpack" "$source_dir" -o "$work/out" --setup "$root/build/win64/bin/setup.exe" >/dev/null
  python3 - "$work/out/QevBench-setup.exe" "$package" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
at = data.find("QEV-mark=配置包A".encode("gbk") + b"\x01")
open(sys.argv[2], "wb").write(data[at - 1:])
PY
fi
# The data archive of the package, cut out for the native run.
python3 - "$package" "$work/data.7z" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
start = data.find("QEV-mark=7zipdataA".encode("gbk") + b"\x01") + 19
end = data.find("QEV-mark=7zipdataB".encode("gbk") + b"\x01", start)
open(sys.argv[2], "wb").write(data[start:end])
PY

export DISPLAY=${DISPLAY:-}
xvfb_pid=
if [ -z "$DISPLAY" ]; then
  Xvfb :$((500 + RANDOM % 400)) -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$work/display")
fi
lanes=("win64 $root/build/win64/wine/win64 $root/build/win64/bin")
if [ -f "$root/tests/wine/lane.sh" ] && [ -f "$root/build/win32/bin/install_bench.exe" ]; then
  lanes+=("wow64 $root/build/win32/wine/wow64 $root/build/win32/bin")
fi
stop_servers() {
  for lane in "${lanes[@]}"; do
    read -r _ prefix _ <<<"$lane"
    [ -d "$prefix" ] && WINEPREFIX=$prefix HOME=$prefix.home wineserver -k 2>/dev/null || true
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap stop_servers EXIT

printf 'machine: %s, %s cores; load %s (uptime: %s)\n' "$(uname -m)" "$(nproc)" \
  "$(cut -d' ' -f1-3 /proc/loadavg)" "$(uptime | sed 's/.*load average: //')"
python3 - "$product_bytes" "$(find "$source_dir/files" -type f | wc -l)" "$work/data.7z" <<'PY'
import os, sys
b, n, arc = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
print("product: %.1f MB in %d files; data archive %.1f MB (ratio %.3f)"
      % (b / 1e6, n, os.path.getsize(arc) / 1e6, os.path.getsize(arc) / b))
PY

for lane in "${lanes[@]}"; do
  read -r arch prefix bin <<<"$lane"
  "$root/tests/wine/prefix.sh" "$prefix" "$arch" >/dev/null || { echo "$arch: no prefix, skipped"; continue; }
  installer=$work/out/QevBench-setup-$arch.exe
  cat "$bin/setup.exe" "$package" >"$installer"
  cp "$bin/install_bench.exe" "$bin/7-zip32.dll" "$work/"
  lane_runs=$runs
  # Emulated 32-bit code runs many times slower: one run says enough there.
  [ "$arch" = wow64 ] && lane_runs=${BENCH_RUNS_32:-1}
  python3 - "$root" "$work" "$arch" "$prefix" "$installer" "$sevenzip" "$product_bytes" "$lane_runs" <<'PY'
import glob, os, re, shutil, statistics, subprocess, sys, time
root, work, arch, prefix, installer, sevenzip = sys.argv[1:7]
product_bytes, runs = int(sys.argv[7]), int(sys.argv[8])
run_sh = os.path.join(root, "tests", "wine", "run.sh")
drive_c = os.path.join(prefix, "drive_c")
def win(path):
    return "Z:" + path.replace("/", "\\")
env = dict(os.environ, WINEPREFIX=prefix, HOME=prefix + ".home", WINEDEBUG="-all")

def server_pid():
    for p in glob.glob("/proc/[0-9]*"):
        try:
            if not os.path.basename(os.readlink(p + "/exe")).startswith("wineserver"):
                continue
            if ("WINEPREFIX=" + prefix).encode() in open(p + "/environ", "rb").read().split(b"\0"):
                return int(p[6:])
        except OSError:
            pass
def cpu_of(pid):
    try:
        f = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
        return (int(f[11]) + int(f[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, TypeError):
        return 0.0

def measure(cmd, watch=None, cwd=None):
    """Wall, processor (the command's own and the Wine server's share), peak memory (MB)."""
    server = server_pid()
    s0 = cpu_of(server)
    t0 = time.monotonic()
    p = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    state = {"peak_kb": 0}
    while True:
        pid, status, ru = os.wait4(p.pid, os.WNOHANG if watch else 0)
        if pid == p.pid:
            break
        watch(p, time.monotonic() - t0, state)
        time.sleep(0.02)
    p.returncode = status
    out = p.stdout.read().decode(errors="replace")
    wall = time.monotonic() - t0
    own = ru.ru_utime + ru.ru_stime
    return dict(wall=wall, cpu=own + (cpu_of(server) - s0 if server else 0.0),
                peak=max(ru.ru_maxrss, state["peak_kb"]) / 1024, status=os.waitstatus_to_exitcode(status), out=out,
                state=state)

# A warm Wine (its server and services already up) for every run, as an installer meets it on a
# running desktop: Wine's own cold start is not the installer's cost.
subprocess.run([run_sh, prefix, arch, os.path.join(work, "install_bench.exe")], env=env,
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
subprocess.run(["wineserver", "-p", "600"], env=env)
base = measure([run_sh, prefix, arch, os.path.join(work, "install_bench.exe")])["peak"]

# Every run writes its 300 MB into memory (tmpfs): a disk file system that is handed the same
# thousands of names again seconds after they were deleted spends more time finding free inodes
# than the extraction itself, and by chance, which would drown the figures.
scratch = os.environ.get("BENCH_OUT") or f"/dev/shm/qevbench-{os.getpid()}"
os.makedirs(scratch, exist_ok=True)
app = os.path.join(scratch, "app")
native_out = os.path.join(scratch, "native_out")
library_out = os.path.join(scratch, "bx")
temps = [t for t in glob.glob(os.path.join(drive_c, "users", "*", "Temp")) if "/Public/" not in t]
archive_bytes = os.path.getsize(os.path.join(work, "data.7z"))

def watch_setup(p, t, state):
    """Phases seen on disk, and the peak memory of the setup process."""
    if "pid" not in state:
        for proc in glob.glob("/proc/[0-9]*/cmdline"):
            try:
                if os.path.basename(installer).encode() in open(proc, "rb").read():
                    state["pid"] = int(proc.split("/")[2])
            except OSError:
                pass
    if "pid" in state:
        try:
            m = re.search(r"VmHWM:\s+(\d+) kB", open(f"/proc/{state['pid']}/status").read())
            if m:
                state["peak_kb"] = max(state["peak_kb"], int(m.group(1)))
        except OSError:
            pass
    copies = [os.path.join(d, n) for d in temps for n in os.listdir(d) if n.endswith(".7zqev")]
    if copies:
        state.setdefault("copy", t)
        try:
            if os.path.getsize(copies[0]) >= archive_bytes + 19:
                state.setdefault("copied", t)
        except OSError:
            pass
    elif "copy" in state:
        state.setdefault("removed", t)
    if os.path.isdir(app):
        state.setdefault("extract", t)

results = {"native": [], "library": [], "setup": [], "copy": []}
for i in range(runs):
    results["native"].append(measure([sevenzip, "x", os.path.join(work, "data.7z"),
                                      "-o" + native_out, "-y"]))
    shutil.rmtree(native_out, ignore_errors=True)
    results["library"].append(measure([run_sh, prefix, arch, os.path.join(work, "install_bench.exe"),
                                       "extract", win(os.path.join(work, "7-zip32.dll")),
                                       win(os.path.join(work, "data.7z")), win(library_out)]))
    shutil.rmtree(library_out, ignore_errors=True)
    shutil.rmtree(os.path.join(drive_c, "QevBench"), ignore_errors=True)
    os.makedirs(os.path.join(drive_c, "QevBench"))
    r = measure([run_sh, prefix, arch, installer, "-hp", "/D=" + win(app),
                 "/LOG=C:\\QevBench\\log.txt"], watch=watch_setup, cwd=os.path.dirname(installer))
    r["installed"] = sum(os.path.getsize(os.path.join(b, n)) for b, _, ns in os.walk(app) for n in ns)
    results["setup"].append(r)
    log = os.path.join(drive_c, "QevBench", "log.txt")
    if os.path.isfile(log):
        shutil.copy(log, os.path.join(work, f"install-{arch}.log"))
    shutil.rmtree(os.path.join(drive_c, "QevBench"), ignore_errors=True)
    shutil.rmtree(app, ignore_errors=True)
    results["copy"].append(measure([run_sh, prefix, arch, os.path.join(work, "install_bench.exe"),
                                    "copy", win(installer)]))

shutil.rmtree(scratch, ignore_errors=True)

def med(key, field):
    return statistics.median(r[field] for r in results[key])
failed = [k for k in ("native", "library", "setup") for r in results[k] if r["status"] != 0]
label = {"win64": "wine64, the 64-bit build", "wow64": "32-bit build, WoW64 (EMULATED by qemu where the machine runs no 32-bit code)"}[arch]
print(f"\n[{arch}] {label}; median of {runs} runs, processor = user + system (+ Wine's server)")
if failed:
    print(f"  FAILED runs: {failed}; setup exit codes {[r['status'] for r in results['setup']]}")
print(f"  {'':22} {'wall s':>7} {'cpu s':>7} {'MB/s':>7} {'peak MB':>8}")
for key, name in (("native", "sevenzip x (native)"), ("library", "7-zip32.dll (Wine)"),
                  ("setup", "setup.exe -hp (Wine)")):
    print(f"  {name:22} {med(key, 'wall'):7.2f} {med(key, 'cpu'):7.2f} "
          f"{product_bytes / 1e6 / med(key, 'wall'):7.1f} {med(key, 'peak'):8.1f}")
ratio_lib = statistics.median(l["cpu"] / n["cpu"] for l, n in zip(results["library"], results["native"]))
ratio_setup = statistics.median(s["cpu"] / l["cpu"] for s, l in zip(results["setup"], results["library"]))
wall_lib = statistics.median(l["wall"] / n["wall"] for l, n in zip(results["library"], results["native"]))
wall_setup = statistics.median(s["wall"] / l["wall"] for s, l in zip(results["setup"], results["library"]))
copy_rates, copy_cpu_rates = [], []
for r in results["copy"]:
    m = re.search(r"copy-out ([\d.]+) MB: wall ([\d.]+) s .* processor ([\d.]+) s", r["out"])
    if m and float(m.group(2)) > 0:
        copy_rates.append(float(m.group(1)) / float(m.group(2)))
        copy_cpu_rates.append(float(m.group(1)) / max(float(m.group(3)), 0.01))
copy_rate = statistics.median(copy_rates) if copy_rates else 0.0
copy_cpu_rate = statistics.median(copy_cpu_rates) if copy_cpu_rates else 0.0
print(f"  library / native:      cpu {ratio_lib:5.2f}  (target <= 1.3)   wall {wall_lib:5.2f}")
print(f"  setup.exe / library:   cpu {ratio_setup:5.2f}  (target <= 1.2)   wall {wall_setup:5.2f}")
print(f"  copy-out of the data block: {copy_rate:7.0f} MB/s wall, {copy_cpu_rate:.0f} MB per "
      f"processor second  (target >= 1000; wall runs " + ", ".join(f"{c:.0f}" for c in copy_rates) + ")")
# Memory: the dictionary of the archive and the decoding threads (LZMA2 blocks run on up to
# four threads, one per core).
listing = subprocess.run(["7zz", "l", "-slt", os.path.join(work, "data.7z")], capture_output=True,
                         text=True).stdout
dictionary = 0
for m in re.finditer(r"LZMA2?:(\d+)([kmg]?)", listing):
    v = int(m.group(1))
    v = {"": 1 << v if v < 64 else v, "k": v << 10, "m": v << 20, "g": v << 30}[m.group(2)]
    dictionary = max(dictionary, v)
threads = min(max(os.cpu_count() or 1, 1), 4)
budget = dictionary / 2**20 + 32 * threads
above = med("setup", "peak") - base
print(f"  peak memory of setup.exe: {med('setup', 'peak'):.1f} MB, {above:.1f} MB above the Wine "
      f"process's own {base:.1f} MB (target <= dictionary {dictionary / 2**20:.0f} MiB + 32 MiB x "
      f"{threads} threads = {budget:.0f} MiB)")
phases = [r["state"] for r in results["setup"]]
def phase(a, b):
    v = [p[b] - p[a] for p in phases if a in p and b in p]
    return f"{statistics.median(v):5.2f}" if v else "  n/a"
print(f"  setup.exe phases seen on disk (wall s): start-up "
      f"{statistics.median([p['copy'] for p in phases if 'copy' in p] or [0]):5.2f}, copy-out "
      f"{phase('copy', 'copied')}, until extraction {phase('copied', 'extract')}, extraction and "
      f"clean-up {phase('extract', 'removed')}; installed "
      f"{statistics.median(r['installed'] for r in results['setup']) / 1e6:.1f} MB, exit codes "
      f"{[r['status'] for r in results['setup']]}")
PY
done
echo
echo "install logs: $work/install-*.log"
