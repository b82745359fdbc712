#!/usr/bin/env python3
"""setup.exe in test mode (its folder is the configuration) ends on its own in the modes that need
no user: background install, and direct install with the finish page switched off. A run that
waits for a user is stopped by the time limit and counts as a failure.
Usage: setup_modes.py SETUP.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import subprocess
import sys

from qevtest import SKIPPED, WINE_ARCH

setup, run_sh, prefix, work = sys.argv[1:5]
failed = 0

# (what, data.ini lines of the main section, arguments, expected exit status)
CASES = [
    ("background install", ["安装模式=后台安装"], ["test"], 0),
    ("direct install without finish page", ["安装模式=直接安装", "安装后是否显示完成界面=假"],
     ["test"], 0),
]

shutil.rmtree(work, ignore_errors=True)
for n, (what, lines, args, expected) in enumerate(CASES):
    folder = os.path.join(work, f"case{n}")
    os.makedirs(folder)
    shutil.copy(setup, os.path.join(folder, "setup.exe"))
    ini = "\r\n".join(["[墨桐软件安装配置]", "墨桐软件名称=示例", "软件版本=1.0",
                       "安装位置=C:\\示例软件"] + lines) + "\r\n"
    with open(os.path.join(folder, "data.ini"), "wb") as f:
        f.write(ini.encode("gbk"))
    try:
        status = subprocess.run([run_sh, prefix, WINE_ARCH, os.path.join(folder, "setup.exe")] + args,
                                cwd=folder, timeout=60).returncode
    except subprocess.TimeoutExpired:
        status = "still running"
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix))
    if status == SKIPPED:
        print(f"skipped: the {WINE_ARCH} programs cannot run on this machine")
        sys.exit(SKIPPED)
    ok = status == expected
    print(("ok   " if ok else "FAIL ") + f"{what}: status {status}")
    failed += 0 if ok else 1

shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failed else 0)
