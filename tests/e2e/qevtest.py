"""Shared pieces of the end-to-end tests: installers built by the package builder (qevpack) from a
source folder written at test time, programs run in the build tree's Wine prefix, and looks at the
prefix from outside (its drive_c, its temporary folder, its registry through reg.exe)."""
import filecmp
import glob
import os
import re
import shutil
import signal
import subprocess
import time

# The prefix kind of the tree under test (see tests/wine/loader.sh): "win64" runs the 64-bit build
# under wine64, "wow64" the 32-bit programs that ship, in the 32-bit lane.
WINE_ARCH = os.environ.get("QEV_WINE_ARCH", "win64")
# The runner's exit status when this machine cannot run the tree's programs; CTest counts the test
# as skipped.
SKIPPED = 77


class Harness:
    def __init__(self, qevpack, setup, run_sh, prefix, work):
        self.qevpack, self.setup, self.run_sh, self.prefix, self.work = \
            qevpack, setup, run_sh, prefix, work
        self.failed = 0
        self.made = []  # entries the runs left in the temporary folder, removed by clean_temp()
        if not os.path.isfile(qevpack):
            raise SystemExit(f"the package builder is missing: {qevpack} (build the native tree)")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        status, _ = self.wine("cmd", "/c", "exit")  # makes the prefix once
        if status == SKIPPED:
            print(f"skipped: the {WINE_ARCH} programs cannot run on this machine")
            raise SystemExit(SKIPPED)

    # ---- results ----

    def check(self, cond, what):
        print(("ok   " if cond else "FAIL ") + what, flush=True)
        self.failed += 0 if cond else 1
        return cond

    def exit_code(self):
        print(f"{'FAILED' if self.failed else 'passed'}: {self.failed} check(s) failed")
        return 1 if self.failed else 0

    # ---- packages ----

    def package(self, name, description, files, config=None, keep_work=False, extra=None):
        """Writes a source folder (package.ini, files/, config/, `extra` files beside them) under
        the work folder and builds it with qevpack. `files`, `config` and `extra` map relative
        paths to bytes (None: a folder). Returns (installer path, [volume paths], output folder)."""
        source = os.path.join(self.work, name, "source")
        out = os.path.join(self.work, name, "out")
        shutil.rmtree(os.path.join(self.work, name), ignore_errors=True)
        write_tree(os.path.join(source, "files"), files)
        if config:
            write_tree(os.path.join(source, "config"), config)
        if extra:
            write_tree(source, extra)
        with open(os.path.join(source, "package.ini"), "w", encoding="utf-8") as f:
            f.write(description)
        command = [self.qevpack, source, "-o", out, "--setup", self.setup]
        if keep_work:
            command.append("--keep-work")
        done = subprocess.run(command, capture_output=True, text=True)
        if done.returncode != 0:
            raise SystemExit(f"qevpack failed for {name}:\n{done.stdout}{done.stderr}")
        installer, volumes = None, []
        for line in done.stdout.splitlines():
            if line.startswith("installer: "):
                installer = line[len("installer: "):]
            elif line.startswith("volume: "):
                volumes.append(line[len("volume: "):])
        return installer, volumes, out

    # ---- Wine ----

    def env(self):
        return dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all")

    def wine(self, *args, cwd=None, timeout=180, headless=False, utf8=False):
        """Runs a program in the prefix and waits for the prefix to settle; returns (exit status,
        stdout bytes). Headless: without a display, where setup.exe cannot make its wizard
        window and so ends once its package is unpacked instead of waiting for a user. utf8: Wine
        reads the arguments as UTF-8 whatever this machine's locale (for names outside GBK)."""
        env = {k: v for k, v in os.environ.items() if not (headless and k == "DISPLAY")}
        if utf8:
            env.update(LANG="C.UTF-8", LC_ALL="C.UTF-8")
        done = subprocess.run([self.run_sh, self.prefix, WINE_ARCH, *args], cwd=cwd, env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        self.wait_server()
        return done.returncode, done.stdout

    def start(self, *args, cwd=None):
        """Starts a program in the prefix without waiting; end it with stop()."""
        return subprocess.Popen([self.run_sh, self.prefix, WINE_ARCH, *args], cwd=cwd,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def stop(self, process):
        """Ends a program started by start(): the program run.sh started, then run.sh. Wine's own
        helpers (explorer, services) end by themselves once no program of the prefix is left."""
        for child in children(process.pid):
            try:
                os.kill(child, signal.SIGKILL)
            except ProcessLookupError:
                pass
        process.kill()
        process.wait()

    def wait_server(self):
        subprocess.run(["wineserver", "-w"], env=self.env())

    def cmd_lines(self, command, as_product=False):
        """Output lines of `cmd /c command` (ASCII output expected). `as_product`: run by the cmd of
        the programs under test (the 32-bit one in the lane), which sees the environment, folders
        and registry view that they see."""
        cmd = "C:\\windows\\syswow64\\cmd.exe" if as_product and WINE_ARCH == "wow64" else "cmd"
        _, out = self.wine(cmd, "/c", command)
        return [line.strip() for line in out.decode("utf-8", "replace").splitlines()]

    def reg_values(self, key, view=None):
        """The values of a registry key as {name: (type, data text)}; the default value is ""."""
        args = ["reg", "query", key] + ([f"/reg:{view}"] if view else [])
        status, out = self.wine(*args)
        values = {}
        if status != 0:
            return values
        for line in out.decode("utf-8", "replace").splitlines():
            m = re.match(r"^ {4}(.*?) {4}(REG_\w+)(?: {4}(.*))?$", line.rstrip("\r"))
            if m:
                name = "" if m.group(1) == "(Default)" else m.group(1)
                values[name] = (m.group(2), m.group(3) or "")
        return values

    # ---- the prefix seen from outside ----

    def temp_folders(self):
        """The user's temporary folder of the prefix (Wine puts it in either place)."""
        users = os.path.join(self.prefix, "drive_c", "users")
        found = glob.glob(os.path.join(users, "*", "Temp")) + \
            glob.glob(os.path.join(users, "*", "AppData", "Local", "Temp"))
        return [t for t in found if not t.startswith(os.path.join(users, "Public"))]

    def temp_snapshot(self):
        return {t: set(os.listdir(t)) for t in self.temp_folders()}

    def temp_new(self, before):
        new = []
        for t in self.temp_folders():
            new += [os.path.join(t, n) for n in os.listdir(t) if n not in before.get(t, set())]
        self.made.extend(new)
        return new

    def run_setup(self, installer, *args, timeout=180, headless=False):
        """Runs an installer; returns (exit status, new entries of the temporary folder)."""
        before = self.temp_snapshot()
        status, _ = self.wine(installer, *args, cwd=os.path.dirname(installer), timeout=timeout,
                              headless=headless)
        return status, self.temp_new(before)

    def run_to_wizard(self, installer, caption, *args, limit=90):
        """Starts an installer (on the display of DISPLAY) and waits until its wizard window, titled
        `caption`, is shown: by then the package is unpacked. Returns (shown, new entries of the
        temporary folder as they are while the wizard waits); the installer is then ended from
        outside, so nothing of its own clean-up runs (clean_temp() removes what it made)."""
        before = self.temp_snapshot()
        process = self.start(installer, *args, cwd=os.path.dirname(installer))
        shown = False
        deadline = time.monotonic() + limit
        try:
            while time.monotonic() < deadline and process.poll() is None:
                done = subprocess.run(["xdotool", "search", "--name", f"^{re.escape(caption)}$"],
                                      capture_output=True, text=True)
                if done.stdout.split():
                    shown = True
                    break
                time.sleep(0.5)
            new = self.temp_new(before)
        finally:
            self.stop(process)
            self.wait_server()
        return shown, new

    def run_setup_line(self, installer, arguments, timeout=180):
        """Runs an installer with the exact command-line text `arguments` (quotes included, which
        an argument list would escape); returns (exit status, new entries of the temporary
        folder). A batch file beside the installer starts it and hands its exit code on."""
        batch = os.path.join(os.path.dirname(installer), "qev_run.bat")
        with open(batch, "wb") as f:
            f.write(f'@"{os.path.basename(installer)}" {arguments}\r\n'
                    f'@exit /b %errorlevel%\r\n'.encode("gbk"))
        before = self.temp_snapshot()
        status, _ = self.wine("cmd", "/c", "qev_run.bat", cwd=os.path.dirname(installer),
                              timeout=timeout)
        return status, self.temp_new(before)

    def clean_temp(self):
        for p in self.made:
            if os.path.isdir(p):
                shutil.rmtree(p, ignore_errors=True)
            elif os.path.exists(p):
                os.remove(p)
        self.made = []

    def unix_path(self, windows_path):
        """The file of the prefix behind a Windows path "C:\\...", matched without letter case
        as Windows matches it; None when a part is missing."""
        if len(windows_path) < 2 or windows_path[1] != ":":
            return None
        path = os.path.join(self.prefix, "drive_" + windows_path[0].lower())
        for part in [p for p in windows_path[2:].split("\\") if p]:
            if not os.path.isdir(path):
                return None
            match = [n for n in os.listdir(path) if n.lower() == part.lower()]
            if not match:
                return None
            path = os.path.join(path, match[0])
        return path


def children(pid):
    """Process ids of the direct children of `pid`."""
    found = []
    for task in glob.glob(f"/proc/{pid}/task/*/children"):
        try:
            with open(task) as f:
                found += [int(n) for n in f.read().split()]
        except OSError:
            pass
    return found


def write_tree(root, entries):
    os.makedirs(root, exist_ok=True)
    for rel, data in entries.items():
        path = os.path.join(root, *rel.split("/"))
        if data is None:
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def same_tree(a, b):
    """Both folders hold the same names, files of equal bytes, recursively."""
    cmp = filecmp.dircmp(a, b)
    if cmp.left_only or cmp.right_only or cmp.funny_files:
        return False
    if any(not filecmp.cmp(os.path.join(a, n), os.path.join(b, n), shallow=False)
           for n in cmp.common_files):
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in cmp.common_dirs)


def extract_7z(archive, out):
    """Extracts with real 7-Zip; True when it succeeded."""
    shutil.rmtree(out, ignore_errors=True)
    return subprocess.run(["7zz", "x", "-bd", "-bso0", "-bsp0", "-o" + out, archive],
                          stdin=subprocess.DEVNULL).returncode == 0


def config_folders(new):
    """The fresh ".tmp" folders of a run but the archive library's own (a run writes the library
    into a fresh ".tmp" folder of its own too)."""
    return [p for p in new if p.endswith(".tmp") and os.path.isdir(p) and
            not os.path.exists(os.path.join(p, "7-zip32.dll"))]


def marker(text):
    return text.encode("gbk") + b"\x01"


def read_ini(data):
    """A GBK INI text as {section: {key: value}}, first occurrence wins, as the installer reads."""
    sections, current = {}, None
    for raw in data.split(b"\r\n"):
        line = raw.decode("gbk", "replace").strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current.setdefault(key.strip(), value.strip())
    return sections


class Display:
    """The X display for windows: the one given in DISPLAY, or a private Xvfb started here."""

    def __init__(self):
        self.process = None
        if os.environ.get("DISPLAY"):
            self.name = os.environ["DISPLAY"]
            return
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read, "rb") as f:
            number = f.readline()
        self.name = ":" + number.decode().strip()
        os.environ["DISPLAY"] = self.name

    def close(self):
        if self.process:
            self.process.kill()
            self.process.wait()

    def window_titles(self):
        done = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True)
        titles = []
        for line in done.stdout.decode("utf-8", "replace").splitlines():
            m = re.match(r'^\s*0x[0-9a-f]+ "(.*)": ', line)
            if m:
                titles.append(m.group(1))
        return titles

    def wait_for_window(self, title, process, limit=60):
        """Polls until a window titled `title` exists or the process ends; True when found."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline and process.poll() is None:
            if title in self.window_titles():
                return True
            time.sleep(0.5)
        return title in self.window_titles()

    def answer_box(self, title):
        """Presses Enter in the newest window titled `title` (a message box takes its OK button
        so); True when there was one."""
        done = subprocess.run(["xdotool", "search", "--name", f"^{re.escape(title)}$"],
                              capture_output=True, text=True)
        ids = [int(i) for i in done.stdout.split()]
        if not ids:
            return False
        return subprocess.run(["xdotool", "windowfocus", "--sync", str(max(ids)), "key", "Return"],
                              capture_output=True).returncode == 0

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return os.path.isfile(path)
