#!/usr/bin/env python3
"""The uninstall window under Wine, used as a person would by the test driver (qevdrive), which
follows "uninst.exe" (started as from the installed-programs list) into the uninstaller it starts:
the window "<name><version> 卸载向导" shows its texts and option check boxes; [卸载] runs the option
programs of ticked and unticked boxes (once as the package ticks them, once with both boxes
changed), removes the product with its log (names outside GBK shown as they are), and [完成] ends
the uninstaller, which leaves nothing in the install folder or the temporary folder.
Usage: uninstall_window.py QEVPACK SETUP.EXE QEVDRIVE.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import subprocess
import sys

from pe import PE
from qevtest import Display, Harness

qevpack, setup, drive, run_sh, prefix, work = sys.argv[1:7]
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
installer, _, _ = h.package("window", description, {"app.exe": b"MZ app", "Straße/a.txt": b"a"},
                            extra={"uninstall.ico": ICON, "small.png": SMALL})
with open(installer, "rb") as f:
    carried = PE(PE(f.read()).resource("UNINST_DAT", 100))
h.check(carried.resource(3, 1) == ICON_IMAGE,
        "the launcher the installer carries has the product's uninstall icon already")


def windows(path):
    """A path of this machine as the prefix sees it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


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
    # From the welcome state (nothing removed yet) through [卸载] to [完成] and the end of every
    # process the launcher started.
    toggle_steps = "click 选项甲\nclick 选项乙\nbutton 选项甲 unchecked\nbutton 选项乙 checked\n" if toggle else ""
    steps = (f"start {folder}\\uninst.exe\n"
             f"window \"{TITLE}\" 60\n"
             "expect 卸载 “QevWin1.0”\n"
             "expect 这个向导将从你的计算机卸载“QevWin1.0”。 单击 [卸载] 开始解除安装程序。\n"
             f"expect {folder}\n"
             "button 选项甲 shown checked\n"
             "button 选项乙 shown unchecked\n"
             "button 卸载 enabled default\n"
             f"exists {folder}\\app.exe\n"
             f"shot \"{windows(os.path.join(work, label + '-welcome.bmp'))}\"\n"
             + toggle_steps +
             "click 卸载\n"
             "wait 已完成卸载！ 60\n"
             f"list 删除文件: {folder}\\app.exe\n"
             f"list 删除文件: {folder}\\Straße\\a.txt\n"
             f"expect 删除目录: {folder}\\Straße\n"
             "button 完成 enabled\n"
             f"missing {folder}\n"
             f"shot \"{windows(os.path.join(work, label + '-done.bmp'))}\"\n"
             "click 完成\n"
             "gone 30\n")
    script = os.path.join(work, label + ".steps")
    with open(script, "w", encoding="utf-8") as f:
        f.write(steps)
    status, out = h.wine(drive, windows(script), timeout=240)
    text = out.decode("utf-8", "replace")
    print(f"---- {label}\n{text}", end="" if text.endswith("\n") else "\n", flush=True)
    h.check(status == 0, f"{label}: every step of the driver passed")
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
