#!/usr/bin/env python3
"""Unattended runs of setup.exe under Wine never wait, never claim an install they did not do, log
why they stopped and leave nothing behind. Each case checks the exit code, the last line of the
/LOG file, that nothing new is left in the temporary folder and that no setup process is left
running: background installs with no X display at all (installed, or the no-window code for a
wizard install), the silent answers of a background install (missing volume, refused directory,
install password, no package), a package without product data, a switch inside the path
switch's value, programs run as batch files and a ".reg" import (nothing of them left in the
temporary folder), an installer in a folder whose name GBK cannot hold, test mode on copies of
the configuration files, and the first extracted member's log line.
Usage: unattended.py QEVPACK SETUP.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import sys

from qevtest import Display, Harness

qevpack, setup, run_sh, prefix, work = sys.argv[1:6]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()
ROOT = "C:\\QevUnattended"
shutil.rmtree(h.unix_path("C:\\") + "/QevUnattended", ignore_errors=True)
os.makedirs(h.unix_path("C:\\") + "/QevUnattended")

PRODUCT = {
    "a-first.txt": b"first member\r\n",
    "app.exe": b"MZ" + bytes(range(256)) * 40,
    "sub/b.txt": b"b" * 3000,
}


def description(name, extra_product="", package="mode = appended\n", more=""):
    return (f"[product]\nname = {name}\nversion = 1.0\nswitch_path = /D=\n"
            f"previous_location = no\n{extra_product}[package]\n{package}{more}")


def log_lines(path):
    unix = h.unix_path(path)
    if unix is None:
        return []
    return [line.strip() for line in open(unix, "rb").read().decode("utf-8", "replace").splitlines()
            if line.strip()]


def setup_processes(name):
    """Processes of this test's Wine prefix whose command line names the installer `name`."""
    found = []
    mark = ("WINEPREFIX=" + prefix).encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if mark not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                line = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if name.lower() in line.lower() and "unattended.py" not in line:
            found.append(f"{pid}: {line}")
    return found


def run(label, installer, args, code, last_line, headless=False, timeout=120):
    """Runs an installer that must end by itself; checks the exit code, the last log line (a part
    of it), nothing new left in the temporary folder and no process left."""
    log = f"{ROOT}\\{label}.log"
    unix_log = h.unix_path(log)
    if unix_log:
        os.remove(unix_log)
    before = h.temp_snapshot()
    try:
        status, _ = h.wine(installer, *args, f"/LOG={log}", cwd=os.path.dirname(installer),
                           timeout=timeout, headless=headless)
    except Exception as error:  # a run that waits for a person is stopped by the time limit
        status = f"still running ({type(error).__name__})"
        display.screenshot(os.path.join(work, label + "-stuck.png"))
        os.system(f"WINEPREFIX={prefix} wineserver -k")
    new = h.temp_new(before)
    h.check(status == code, f"{label}: exit code {code} (got {status})")
    lines = log_lines(log)
    h.check(bool(lines) and last_line in lines[-1] and f"(退出代码 {code})" in lines[-1],
            f"{label}: the log ends with the result and its exit code ({lines[-1:] })")
    # The archive library is written into the temporary folder by the first run and kept for the
    # next ones; everything a run makes for itself goes.
    left = [os.path.basename(p) for p in new if os.path.basename(p) != "7-zip32.dll"]
    h.check(not left, f"{label}: nothing left in the temporary folder ({left})")
    running = setup_processes(os.path.basename(installer))
    h.check(not running, f"{label}: no process left running ({running})")
    return lines


# ---- Background installs with no X display at all ----
plain, _, _ = h.package("plain", description("QevPlain"), PRODUCT)
lines = run("headless-background", plain, ["-hp", f"/D={ROOT}\\plain"], 0, "安装完成", headless=True)
h.check(all(h.unix_path(f"{ROOT}\\plain\\{n.replace('/', chr(92))}") for n in PRODUCT),
        "headless-background: every file installed")
h.check("抽取: a-first.txt" in [l.split(" ", 2)[-1] for l in lines],
        "the first extracted member has its own log line")
run("headless-wizard", plain, [f"/D={ROOT}\\plain-w"], 7, "无法创建安装向导窗口", headless=True)
h.check(h.unix_path(f"{ROOT}\\plain-w") is None, "headless-wizard: nothing installed")

# A switch text inside the path switch's value is no switch: this is a wizard install, which has
# no window here.
run("switch-in-path", plain, [f"/D={ROOT}\\my-hp"], 7, "无法创建安装向导窗口", headless=True)
h.check(h.unix_path(f"{ROOT}\\my-hp") is None, "switch-in-path: not installed in the background")

# ---- Silent answers of a background install (a display is there: no box may appear) ----
volumes, vols, _ = h.package("volumes", description("QevVolumes", package="mode = volumes\n"
                                                     "volume_size = 2k\nvolume_naming = counted\n"),
                             PRODUCT)
os.remove(vols[-1])
run("missing-volume", volumes, ["-hp", f"/D={ROOT}\\volumes"], 5, "缺少分卷文件")
h.check("运行失败" not in display.window_titles(), "missing-volume: no message box")

unordered, uvols, _ = h.package("unordered", description(
    "QevUnordered", package="mode = volumes\nvolume_size = 2k\nvolume_naming = unordered\n"), PRODUCT)
os.remove(uvols[len(uvols) // 2])
run("missing-unordered-volume", unordered, ["-hp", f"/D={ROOT}\\unordered"], 5, "缺少分卷文件")

run("refused-directory", plain, ["-hp", "/D=C:\\"], 2, "安装路径不正确")
locked, _, _ = h.package("locked", description("QevLocked", "install_password = 开门\n"), PRODUCT)
lines = run("password", locked, ["-hp", f"/D={ROOT}\\locked"], 3, "未输入安装密码")
h.check(any("无人回答安装密码的询问" in l for l in lines), "password: the silent answer is logged")
h.check(h.unix_path(f"{ROOT}\\locked") is None, "password: nothing installed")

bare = os.path.join(work, "bare")
os.makedirs(bare, exist_ok=True)
shutil.copyfile(setup, os.path.join(bare, "setup.exe"))
run("no-package", os.path.join(bare, "setup.exe"), ["-hp"], 1, "没有附加安装包")

# ---- A package without product data installs the configuration's effects ----
nodata, _, _ = h.package("nodata", description(
    "QevNoData", package="mode = none\n",
    more=f"[run]\ncommand = cmd /c echo done>{ROOT}\\nodata.txt\nexternal = yes\nhidden = yes\n"
         "wait = yes\n"), {})
run("no-product-data", nodata, ["-hp", f"/D={ROOT}\\nodata"], 0, "安装完成")
h.check(h.unix_path(f"{ROOT}\\nodata.txt") is not None, "no-product-data: its program ran")

# ---- Programs run as batch files ("%ET%") and a ".reg" import leave nothing in the temporary
# folder: a waited batch that leaves early through "exit", one not waited for, a component's script
# line; the registry step logs each value it writes and the import ----
reg_file = ("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QevBatches]\r\n"
            "\"Imported\"=\"yes\"\r\n").encode("ascii")
batches, _, _ = h.package("batches", description("QevBatches", more=(
    f"[run]\ncommand = cmd /c echo before>{ROOT}\\before.txt%ET%exit /b 2%ET%echo no>{ROOT}\\no.txt\n"
    "external = yes\nhidden = yes\nwait = yes\nwhen = before\n"
    f"[run]\ncommand = cmd /c ping -n 2 127.0.0.1 >nul%ET%echo after>{ROOT}\\after.txt\n"
    "external = yes\nhidden = yes\nwait = no\n"
    "[component]\nname = 基本组件\n"
    f"install = [真]cmd /c echo one>{ROOT}\\script.txt%ET%echo two>>{ROOT}\\script.txt\n"
    "[registry]\npath = HKEY_CURRENT_USER\\Software\\QevBatches\nname = Folder\ndata = %InstallPath%\n"
    "[registry]\ntype = file\nfile = imports.reg\n")), PRODUCT, extra={"imports.reg": reg_file})
lines = run("batches", batches, ["-hp", f"/D={ROOT}\\batches"], 0, "安装完成")
h.check(h.unix_path(f"{ROOT}\\before.txt") and not h.unix_path(f"{ROOT}\\no.txt"),
        "batches: the waited batch ran up to its exit")
h.check(h.unix_path(f"{ROOT}\\after.txt") is not None, "batches: the batch not waited for ran to its end")
script = h.unix_path(f"{ROOT}\\script.txt")
h.check(script is not None and open(script, "rb").read().split() == [b"one", b"two"],
        "batches: the script line's batch ran")
written = [l.split(" ", 2)[-1] for l in lines if "写入注册项" in l or "导入注册表文件" in l]
h.check(f"写入注册项: HKEY_CURRENT_USER\\Software\\QevBatches\\Folder" in written and
        f"写入注册项: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
        f"\\QevBatches\\DisplayName" in written and
        any(w.startswith("导入注册表文件: ") and w.endswith(".reg") for w in written),
        f"batches: the registry step logs every value and the import ({written})")
h.check(h.reg_values("HKCU\\Software\\QevBatches").get("Imported") == ("REG_SZ", "yes"),
        "batches: the .reg file was imported")
h.wine("reg", "delete", "HKCU\\Software\\QevBatches", "/f")

# ---- An installer in a folder whose name GBK cannot hold ----
jorg = h.unix_path("C:\\") + "/QevUnattended/J\u00f6rg"
os.makedirs(jorg, exist_ok=True)
shutil.copyfile(plain, os.path.join(jorg, "setup.exe"))
run("non-gbk-folder", os.path.join(jorg, "setup.exe"), ["-hp", f"/D={ROOT}\\jorg"], 0, "安装完成")
h.check(h.unix_path(f"{ROOT}\\jorg\\app.exe") is not None, "non-gbk-folder: installed")

# ---- Test mode, twice, works on copies of the configuration files ----
test_folder = os.path.join(work, "testmode")
os.makedirs(test_folder, exist_ok=True)
shutil.copyfile(setup, os.path.join(test_folder, "setup.exe"))
originals = {
    "data.ini": "[墨桐软件安装配置]\r\n墨桐软件名称=QevTestMode\r\n软件版本=1\r\n安装模式=后台安装\r\n"
                f"安装位置={ROOT}\\testmode\r\n".encode("gbk"),
    "GUItext.ini": "[界面]\r\n标题=%ProductName% 安装\r\n".encode("gbk"),
    "Except.ini": b"%InstallPath%\\lib,-1\r\na.dll,0\r\n",
}
for name, data in originals.items():
    with open(os.path.join(test_folder, name), "wb") as f:
        f.write(data)
for attempt in (1, 2):
    run(f"test-mode-{attempt}", os.path.join(test_folder, "setup.exe"), ["test"], 0, "安装完成")
h.check(all(open(os.path.join(test_folder, n), "rb").read() == d for n, d in originals.items()),
        "test mode: the configuration files beside the program are unchanged")
h.check(h.unix_path(f"{ROOT}\\testmode") is None, "test mode: nothing installed")

shutil.rmtree(h.unix_path("C:\\") + "/QevUnattended", ignore_errors=True)
h.clean_temp()
display.close()
sys.exit(h.exit_code())
