#!/usr/bin/env bash
# Install benchmark (not a test): a ~300 MB product (executables, text, incompressible and sparse
# data, many small files) made into an installer by qevpack, and three ways of unpacking its data
# archive, each run several times in turn:
#   native      `sevenzip x` (the native build of the extractor) on the data archive;
#   library     install_bench.exe under Wine: loads 7-zip32.dll and extracts the same archive
#               through its SevenZip entry, as the install run does, and nothing else;
#   setup.exe   the silent install `setup.exe -hp` under Wine (start-up, copy-out of the data
#               block, extraction, the rest).
# Both builds are measured in one run, round by round (native, then each build's library, setup
# and copy-out), so a change in the machine's load falls on both alike: the 64-bit build under
# wine64, and the 32-bit build that ships where the 32-bit lane is there (tests/wine/lane.sh),
# marked "native" where this machine executes 32-bit code and "EMULATED" where qemu runs it.
# Every figure is the median of the runs: wall time, processor time (user + system of the
# processes, plus what Wine's server spent for them) and peak memory. Printed side by side, beside
# their targets:
#   copy-out of the data block into memory (install_bench copy) >= 1000 MB/s
#   (its copy onto the disk beside the installer is shown too)
#   library under Wine / native, processor time                 <= 1.3
#   setup.exe / library under Wine, processor time              <= 1.2
#   peak memory of setup.exe above the Wine process's own       <= dictionary + 32 MiB per thread
# with the machine's load before and after. Every run writes into memory (tmpfs, BENCH_OUT).
# Usage: bench_install.sh [WORK_DIR]   (BENCH_MB=300 product size, BENCH_RUNS=3 runs of each,
#        BENCH_RUNS_32 runs of the 32-bit build: as many where it runs natively, else 1)
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

load() { cut -d' ' -f1-3 /proc/loadavg; }
printf 'machine: %s, %s cores; load %s (1, 5, 15 minutes) at the start\n' "$(uname -m)" "$(nproc)" "$(load)"
python3 - "$product_bytes" "$(find "$source_dir/files" -type f | wc -l)" "$work/data.7z" <<'PY'
import os, sys
b, n, arc = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
print("product: %.1f MB in %d files; data archive %.1f MB (ratio %.3f)"
      % (b / 1e6, n, os.path.getsize(arc) / 1e6, os.path.getsize(arc) / b))
PY

# Each build's prefix, installer and how its programs run; a build that cannot run is reported so.
lane_args=()
for lane in "${lanes[@]}"; do
  read -r arch prefix bin <<<"$lane"
  set +e
  "$root/tests/wine/prefix.sh" "$prefix" "$arch" >/dev/null
  status=$?
  set -e
  if [ "$arch" = win64 ]; then
    kind=wine64
  elif [ $status -eq 77 ]; then
    kind=none
  else
    kind=${QEV_LANE:-$(cat "$prefix.lane/kind" 2>/dev/null || echo none)}
  fi
  if [ $status -ne 0 ]; then
    lane_args+=("$arch:$kind:$prefix:-:-:-")
    continue
  fi
  installer=$work/out/QevBench-setup-$arch.exe
  cat "$bin/setup.exe" "$package" >"$installer"
  mkdir -p "$work/$arch"
  cp "$bin/install_bench.exe" "$bin/7-zip32.dll" "$work/$arch/"
  lane_args+=("$arch:$kind:$prefix:$installer:$work/$arch/install_bench.exe:$work/$arch/7-zip32.dll")
done
[ -f "$root/build/win32/bin/install_bench.exe" ] || lane_args+=("wow64:unbuilt:-:-:-:-")

python3 - "$root" "$work" "$sevenzip" "$product_bytes" "$runs" "${BENCH_RUNS_32:-}" "${lane_args[@]}" <<'PY'
import glob, os, re, shutil, statistics, subprocess, sys, time
root, work, sevenzip = sys.argv[1:4]
product_bytes, runs, runs_32 = int(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
run_sh = os.path.join(root, "tests", "wine", "run.sh")
archive = os.path.join(work, "data.7z")
archive_bytes = os.path.getsize(archive)


def win(path):
    return "Z:" + path.replace("/", "\\")


class Lane:
    def __init__(self, spec):
        self.arch, self.kind, self.prefix, self.installer, self.bench, self.library = spec.split(":")
        self.runnable = self.installer != "-"
        self.env = dict(os.environ, WINEPREFIX=self.prefix, HOME=self.prefix + ".home",
                        WINEDEBUG="-all")
        self.tag = ("WINEPREFIX=" + self.prefix).encode()
        # Programs start straight from Wine's loader of their own width where this machine runs
        # it (as run.sh's loader.sh would set it up): the harness's shells, and the 64-bit
        # loader's hand-over of a 32-bit program to start.exe, are no part of a program's cost.
        # An emulated lane needs run.sh.
        self.env.update(WINEARCH="win64", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        loader = {"win64": "/usr/lib/wine/wine64", "wow64": "/usr/lib/wine/wine"}[self.arch]
        direct = self.arch == "win64" or self.kind == "native"
        self.start = ([loader] if direct and os.access(loader, os.X_OK)
                      else [run_sh, self.prefix, self.arch])
        self.known = {}  # pid -> whether it belongs to this prefix (pids are not reused in a run)
        self.results = {"library": [], "setup": [], "copy": [], "copy_disk": []}
        if self.arch == "win64":
            self.title, self.runs = "64-bit build, wine64", runs
        else:
            self.title = "32-bit build (ships), " + {"native": "native", "none": "cannot run here",
                                                      "unbuilt": "win32 tree not built"}.get(
                self.kind, "EMULATED by qemu")
            # Emulated 32-bit code runs many times slower: one run says enough there.
            self.runs = int(runs_32) if runs_32 else (runs if self.kind == "native" else 1)
        drive_c = os.path.join(self.prefix, "drive_c")
        self.drive_c = drive_c
        self.temps = [t for t in glob.glob(os.path.join(drive_c, "users", "*", "Temp"))
                      if "/Public/" not in t]

    def belongs(self, d):
        try:
            environ = open(d + "/environ", "rb").read()
            exe = os.path.basename(os.readlink(d + "/exe"))
        except OSError:
            return None  # gone, or in the middle of an exec: asked again next time
        if not environ:
            return None  # a process being set up (Wine's preloader) shows no environment yet
        return self.tag in environ.split(b"\0") and not exe.startswith("wineserver")

    def server_pid(self):
        for d in glob.glob("/proc/[0-9]*"):
            try:
                if (os.path.basename(os.readlink(d + "/exe")).startswith("wineserver") and
                        self.tag in open(d + "/environ", "rb").read().split(b"\0")):
                    return int(d[6:])
            except OSError:
                pass

    def processes(self):
        """Processor seconds and peak memory (kB) of every process of this prefix but its server."""
        seen = {}
        for d in glob.glob("/proc/[0-9]*"):
            pid = int(d[6:])
            if pid not in self.known:
                answer = self.belongs(d)
                if answer is None:
                    continue
                self.known[pid] = answer
            if self.known[pid]:
                try:
                    m = re.search(r"VmHWM:\s+(\d+) kB", open(d + "/status").read())
                    seen[pid] = (cpu_of(pid), int(m.group(1)) if m else 0)
                except OSError:
                    pass
        return seen


def cpu_of(pid):
    try:
        f = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
        return (int(f[11]) + int(f[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, TypeError):
        return 0.0


def measure(cmd, lane=None, watch=None, cwd=None):
    """Wall, processor (the command's and the Wine server's share), peak memory (MB).
    A Windows program is not always a child of the command that starts it (a 32-bit one is
    started through the lane), so under Wine every process of the prefix is sampled while the
    command runs: each counts with the processor time it had used when last seen."""
    server = lane.server_pid() if lane else None
    s0 = cpu_of(server)
    before = lane.processes() if lane else {}
    last = dict(before)
    t0 = time.monotonic()
    p = subprocess.Popen(cmd, cwd=cwd, env=lane.env if lane else None, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL)
    state = {"peak_kb": 0}
    while True:
        pid, status, ru = os.wait4(p.pid, os.WNOHANG if lane else 0)
        if pid == p.pid:
            break
        if lane:
            last.update(lane.processes())
        if watch:
            watch(lane, time.monotonic() - t0, state)
        time.sleep(0.02)
    out = p.stdout.read().decode(errors="replace")
    wall = time.monotonic() - t0
    # The command's own children count too: a process that lived between two samples is in there.
    cpu = ru.ru_utime + ru.ru_stime
    peak_kb = ru.ru_maxrss
    if lane:
        sampled = sum(c - before.get(pid, (0, 0))[0] for pid, (c, _) in last.items())
        cpu = max(cpu, sampled) + (cpu_of(server) - s0 if server else 0.0)
        peak_kb = max([peak_kb] + [m for pid, (_, m) in last.items() if pid not in before])
    return dict(wall=wall, cpu=cpu, peak=peak_kb / 1024, status=os.waitstatus_to_exitcode(status),
                out=out, state=state)


def watch_setup(lane, t, state):
    """Phases seen on disk."""
    copies = [os.path.join(d, n) for d in lane.temps for n in os.listdir(d) if n.endswith(".7zqev")]
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


lanes = [Lane(spec) for spec in sys.argv[7:]]
active = [lane for lane in lanes if lane.runnable]
# A warm Wine (its server and services already up) for every run, as an installer meets it on a
# running desktop: Wine's own cold start is not the installer's cost. The server is made to stay
# before anything starts it: a running server ignores a later "-p", and one that quits a few
# seconds after each round's last program would hand its cold start to the next run.
for lane in active:
    subprocess.run(["wineserver", "-k"], env=lane.env, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-p", "900"], env=lane.env, check=True)
    subprocess.run([*lane.start, lane.bench], env=lane.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    lane.base = measure([*lane.start, lane.bench], lane)["peak"]

# Every run writes its 300 MB into memory (tmpfs): a disk file system that is handed the same
# thousands of names again seconds after they were deleted spends more time finding free inodes
# than the extraction itself, and by chance, which would drown the figures.
scratch = os.environ.get("BENCH_OUT") or f"/dev/shm/qevbench-{os.getpid()}"
os.makedirs(scratch, exist_ok=True)
app = os.path.join(scratch, "app")
native_out = os.path.join(scratch, "native_out")
library_out = os.path.join(scratch, "bx")
native = []
for i in range(max([runs] + [lane.runs for lane in active])):
    if i < runs:
        native.append(measure([sevenzip, "x", archive, "-o" + native_out, "-y"]))
        shutil.rmtree(native_out, ignore_errors=True)
    for lane in active:
        if i >= lane.runs:
            continue
        lane.results["library"].append(measure(
            [*lane.start, lane.bench, "extract", win(lane.library), win(archive),
             win(library_out)], lane))
        shutil.rmtree(library_out, ignore_errors=True)
        shutil.rmtree(os.path.join(lane.drive_c, "QevBench"), ignore_errors=True)
        os.makedirs(os.path.join(lane.drive_c, "QevBench"))
        r = measure([*lane.start, lane.installer, "-hp", "/D=" + win(app),
                     "/LOG=C:\\QevBench\\log.txt"], lane, watch=watch_setup,
                    cwd=os.path.dirname(lane.installer))
        r["installed"] = sum(os.path.getsize(os.path.join(b, n))
                             for b, _, ns in os.walk(app) for n in ns)
        lane.results["setup"].append(r)
        log = os.path.join(lane.drive_c, "QevBench", "log.txt")
        if os.path.isfile(log):
            shutil.copy(log, os.path.join(work, f"install-{lane.arch}.log"))
        shutil.rmtree(os.path.join(lane.drive_c, "QevBench"), ignore_errors=True)
        shutil.rmtree(app, ignore_errors=True)
        # The copy's own speed is measured into memory, like every other output here; the copy
        # beside the installer, on this machine's disk, is shown for comparison (writeback of
        # the disk can stall it now and then).
        lane.results["copy"].append(measure([*lane.start, lane.bench, "copy",
                                             win(lane.installer),
                                             win(os.path.join(scratch, "copy.7zqev"))], lane))
        lane.results["copy_disk"].append(measure([*lane.start, lane.bench,
                                                  "copy", win(lane.installer)], lane))
shutil.rmtree(scratch, ignore_errors=True)

# Memory: the dictionary of the archive and the decoding threads (LZMA2 blocks run on up to
# four threads, one per core).
listing = subprocess.run(["7zz", "l", "-slt", archive], capture_output=True, text=True).stdout
dictionary = 0
for m in re.finditer(r"LZMA2?:(\d+)([kmg]?)", listing):
    v = int(m.group(1))
    v = {"": 1 << v if v < 64 else v, "k": v << 10, "m": v << 20, "g": v << 30}[m.group(2)]
    dictionary = max(dictionary, v)
threads = min(max(os.cpu_count() or 1, 1), 4)
budget = dictionary / 2**20 + 32 * threads


def med(values):
    values = list(values)
    return statistics.median(values) if values else float("nan")


def verdict(value, target, at_most):
    if value != value:
        return "n/a"
    return "met" if (value <= target if at_most else value >= target) else "NOT MET"


rows = []  # (label, target, [cell per lane])
def row(label, target, cells):
    rows.append((label, target, cells))


def cells(fn):
    out = []
    for lane in lanes:
        if not lane.runnable:
            out.append("-")
            continue
        try:
            out.append(fn(lane))
        except (ValueError, ZeroDivisionError, statistics.StatisticsError):
            out.append("n/a")
    return out


nat_cpu, nat_wall = med(r["cpu"] for r in native), med(r["wall"] for r in native)
for lane in active:
    lib, setup, copy = (lane.results[k] for k in ("library", "setup", "copy"))
    n = len(lib)
    lane.lib_native_cpu = med(lib[i]["cpu"] / native[i % len(native)]["cpu"] for i in range(n))
    lane.lib_native_wall = med(lib[i]["wall"] / native[i % len(native)]["wall"] for i in range(n))
    lane.setup_lib_cpu = med(setup[i]["cpu"] / lib[i]["cpu"] for i in range(n))
    lane.setup_lib_wall = med(setup[i]["wall"] / lib[i]["wall"] for i in range(n))
    def copy_rates(runs):
        rates, cpu_rates = [], []
        for r in runs:
            m = re.search(r"copy-out ([\d.]+) MB: wall ([\d.]+) s .* processor ([\d.]+) s",
                          r["out"])
            if m and float(m.group(2)) > 0:
                rates.append(float(m.group(1)) / float(m.group(2)))
                cpu_rates.append(float(m.group(1)) / max(float(m.group(3)), 0.01))
        return rates, cpu_rates
    rates, cpu_rates = copy_rates(copy)
    lane.copy_rate, lane.copy_cpu_rate, lane.copy_rates = med(rates), med(cpu_rates), rates
    lane.disk_rates = copy_rates(lane.results["copy_disk"])[0]
    lane.disk_rate = med(lane.disk_rates)
    lane.above = med(r["peak"] for r in setup) - lane.base
    lane.failed = [(k, r["status"]) for k in ("library", "setup") for r in lane.results[k]
                   if r["status"] != 0]

row("runs", "", cells(lambda l: str(l.runs)))
row("sevenzip x (native): cpu / wall s", "", cells(lambda l: f"{nat_cpu:.2f} / {nat_wall:.2f}"))
row("7-zip32.dll under Wine: cpu / wall s", "", cells(
    lambda l: f"{med(r['cpu'] for r in l.results['library']):.2f} / "
              f"{med(r['wall'] for r in l.results['library']):.2f}"))
row("setup.exe -hp under Wine: cpu / wall s", "", cells(
    lambda l: f"{med(r['cpu'] for r in l.results['setup']):.2f} / "
              f"{med(r['wall'] for r in l.results['setup']):.2f}"))
row("library / native, cpu", "<= 1.3", cells(
    lambda l: f"{l.lib_native_cpu:.2f} {verdict(l.lib_native_cpu, 1.3, True)}"))
row("library / native, wall", "", cells(lambda l: f"{l.lib_native_wall:.2f}"))
row("setup.exe / library, cpu", "<= 1.2", cells(
    lambda l: f"{l.setup_lib_cpu:.2f} {verdict(l.setup_lib_cpu, 1.2, True)}"))
row("setup.exe / library, wall", "", cells(lambda l: f"{l.setup_lib_wall:.2f}"))
row("copy-out into memory, MB/s wall", ">= 1000", cells(
    lambda l: f"{l.copy_rate:.0f} {verdict(l.copy_rate, 1000, False)}"))
row("copy-out into memory, MB per cpu second", "", cells(lambda l: f"{l.copy_cpu_rate:.0f}"))
row("copy-out to the disk, MB/s wall", "", cells(lambda l: f"{l.disk_rate:.0f}"))
row("setup.exe peak memory above Wine's, MB", f"<= {budget:.0f}", cells(
    lambda l: f"{l.above:.1f} {verdict(l.above, budget, True)}"))
row("setup.exe peak memory / Wine's own, MB", "", cells(
    lambda l: f"{med(r['peak'] for r in l.results['setup']):.1f} / {l.base:.1f}"))

print()
heads = [lane.title for lane in lanes]
width0 = max(len(r[0]) for r in rows)
widths = [max([len(h)] + [len(r[2][i]) for r in rows]) for i, h in enumerate(heads)]
line = f"  {'':{width0}}  {'target':>7}  " + "  ".join(f"{h:>{w}}" for h, w in zip(heads, widths))
print(line)
for label, target, cs in rows:
    print(f"  {label:{width0}}  {target:>7}  " + "  ".join(f"{c:>{w}}" for c, w in zip(cs, widths)))
print(f"  (processor = user + system of every process of the prefix, plus Wine's server; the "
      f"memory budget is the dictionary {dictionary / 2**20:.0f} MiB + 32 MiB x {threads} threads)")
for lane in active:
    phases = [r["state"] for r in lane.results["setup"]]

    def phase(a, b):
        v = [p[b] - p[a] for p in phases if a in p and b in p]
        return f"{statistics.median(v):.2f}" if v else "n/a"
    print(f"  {lane.arch} setup.exe phases seen on disk (wall s): start-up "
          f"{med([p['copy'] for p in phases if 'copy' in p] or [0]):.2f}, copy-out "
          f"{phase('copy', 'copied')}, until extraction {phase('copied', 'extract')}, extraction "
          f"and clean-up {phase('extract', 'removed')}; installed "
          f"{med(r['installed'] for r in lane.results['setup']) / 1e6:.1f} MB")
    print(f"  {lane.arch} runs: setup.exe wall " +
          ", ".join(f"{r['wall']:.2f}" for r in lane.results["setup"]) + " s, library wall " +
          ", ".join(f"{r['wall']:.2f}" for r in lane.results["library"]) + " s, copy-out " +
          ", ".join(f"{c:.0f}" for c in lane.copy_rates) + " MB/s, to the disk " +
          ", ".join(f"{c:.0f}" for c in lane.disk_rates) + " MB/s")
    if lane.failed:
        print(f"  {lane.arch}: FAILED runs (step, exit code): {lane.failed}")
PY
printf 'load %s (1, 5, 15 minutes) at the end\n' "$(load)"
echo "install logs: $work/install-*.log"
