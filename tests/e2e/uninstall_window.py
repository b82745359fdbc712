#!/usr/bin/env python3
"""The uninstall window under Wine, driven from outside with the keyboard: "uninst.exe" started as
from the installed-programs list shows the window "<name><version> 卸载向导" with its option check
boxes; [卸载] runs the option programs of ticked and unticked boxes (once as the package ticks them,
once with both boxes changed), removes the product, and [完成] ends the uninstaller, which leaves
nothing in the install folder or the temporary folder.
Usage: uninstall_window.py QEVPACK SETUP.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import subprocess
import sys
import time

from pe import PE
from qevtest import Display, Harness

qevpack, setup, run_sh, prefix, work = sys.argv[1:6]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()
root = h.unix_path("C:\\")
shutil.rmtree(os.path.join(root, "QevUnwin"), ignore_errors=True)
os.makedirs(os.path.join(root, "QevUnwin"))
TITLE = "QevWin1.0 卸载向导"

description = r"""[product]
name = QevWin
version = 1.0
company = 窗口公司
main_program = app.exe
install_dir = C:\QevUnwin\wrong
switch_path = /D=
uninstall_list_y = 24,140

[pictures]
uninstall_icon = uninstall.ico
small = small.png

[uninstall_option]
title = 选项甲
command = [真]cmd /c echo A-ticked>>C:\QevUnwin\options.txt&&[假]cmd /c echo A-unticked>>C:\QevUnwin\options.txt
checked = yes
[uninstall_option]
title = 选项乙
command = [真]cmd /c echo B-ticked>>C:\QevUnwin\options.txt&&[假]cmd /c echo B-unticked>>C:\QevUnwin\options.txt
checked = no
"""
# A 16x16 icon of one 32-bit image: its bytes must come back as the launcher's icon.
ICON_IMAGE = (bytes.fromhex("28000000100000002000000001002000000000000004000000000000000000000000000000000000")
              + bytes([0x20, 0x60, 0xC0, 0xFF]) * 256 + bytes(64))
ICON = (bytes.fromhex("000001000100") + bytes([16, 16, 0, 0, 1, 0, 32, 0])
        + len(ICON_IMAGE).to_bytes(4, "little") + (22).to_bytes(4, "little") + ICON_IMAGE)
# The header picture: a plain orange PNG (made with ImageMagick), shown right in the header band.
SMALL = subprocess.run(["convert", "-size", "147x53", "xc:#FF8000", "png:-"], capture_output=True,
                       check=True).stdout
installer, _, _ = h.package("window", description, {"app.exe": b"MZ app", "docs/a.txt": b"a"},
                            extra={"uninstall.ico": ICON, "small.png": SMALL})


def keys(window, *sequence):
    for key in sequence:
        subprocess.run(["xdotool", "windowfocus", "--sync", str(window), "key", key],
                       capture_output=True)
        time.sleep(0.3)


def window_id():
    done = subprocess.run(["xdotool", "search", "--name", f"^{TITLE}$"], capture_output=True,
                          text=True)
    ids = [int(i) for i in done.stdout.split()]
    return max(ids) if ids else None


def options_written():
    unix = h.unix_path("C:\\QevUnwin\\options.txt")
    if unix is None:
        return []
    with open(unix, "rb") as f:
        lines = [line.strip().decode() for line in f.read().splitlines() if line.strip()]
    os.remove(unix)
    return lines


def case(label, folder, toggle, expected):
    status, _ = h.run_setup(installer, "-hp", f"/D={folder}")
    unix = h.unix_path(folder)
    if not h.check(status == 0 and unix is not None, f"{label}: installed (exit {status})"):
        return
    with open(os.path.join(unix, "uninst.exe"), "rb") as f:
        launcher_pe = PE(f.read())
    h.check(launcher_pe.resource(14, 1) is not None and launcher_pe.resource(3, 1) == ICON_IMAGE,
            f"{label}: uninst.exe carries the product's uninstall icon")
    h.clean_temp()
    before = h.temp_snapshot()
    launcher = h.start(folder + "\\uninst.exe")
    deadline = time.monotonic() + 60
    window = None
    while window is None and time.monotonic() < deadline:
        time.sleep(0.5)
        window = window_id()
    if not h.check(window is not None, f"{label}: the window {TITLE} is shown"):
        h.stop(launcher)
        return
    time.sleep(1)
    display.screenshot(os.path.join(work, f"{label}-welcome.png"))
    h.check(os.path.isdir(unix), f"{label}: nothing is removed before [卸载]")
    if toggle:
        # From [卸载]: [取消], then the two option boxes; back again to [卸载].
        keys(window, "Tab", "Tab", "space", "Tab", "space", "shift+Tab", "shift+Tab", "shift+Tab")
    keys(window, "space")
    deadline = time.monotonic() + 60
    while os.path.isdir(unix) and time.monotonic() < deadline:
        time.sleep(0.5)
    time.sleep(1)
    display.screenshot(os.path.join(work, f"{label}-done.png"))
    h.check(window_id() is not None, f"{label}: the window stays with [完成] after the removal")
    keys(window, "space")
    deadline = time.monotonic() + 30
    while window_id() is not None and time.monotonic() < deadline:
        time.sleep(0.5)
    h.check(window_id() is None, f"{label}: [完成] ends the uninstaller")
    h.stop(launcher)
    h.wait_server()
    h.check(options_written() == expected, f"{label}: option programs ran as {expected}")
    h.check(not os.path.isdir(unix), f"{label}: the install folder is removed")
    new = h.temp_new(before)
    h.check(new == [], f"{label}: nothing left in the temporary folder ({new})")
    h.clean_temp()


case("as packaged", "C:\\QevUnwin\\One", False, ["A-ticked", "B-unticked"])
case("both changed", "C:\\QevUnwin\\Two", True, ["A-unticked", "B-ticked"])
h.wine("cmd", "/c", "reg delete HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QevWin "
                    "/f /reg:32 >nul 2>nul")
shutil.rmtree(os.path.join(root, "QevUnwin"), ignore_errors=True)
display.close()
sys.exit(h.exit_code())
