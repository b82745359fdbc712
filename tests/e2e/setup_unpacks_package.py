#!/usr/bin/env python3
"""setup.exe under Wine unpacks packages made by the package builder: the archive library is
written into a private folder of the run and gone when it ends, the configuration files are
unpacked into a fresh "<hex>.tmp" folder, and the
product data is found inside the installer (copied to a ".7zqev" file), in volumes in order, in
volumes out of order (joined into a temporary "datas.7z") or in counted volumes; a missing volume
stops the installer with a message box titled "运行失败". What is unpacked is looked at while the
wizard waits for its user.
Usage: setup_unpacks_package.py QEVPACK SETUP.EXE 7-ZIP32.DLL RUN.SH PREFIX WORK-FOLDER"""
import filecmp
import os
import random
import sys

from qevtest import Display, Harness, config_folders, extract_7z, marker, read_ini, same_tree

qevpack, setup, library, run_sh, prefix, work = sys.argv[1:7]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()

noise = random.Random(7)
PRODUCT = {
    "readme.txt": b"hello\r\n",
    "bin/tool.dat": bytes(range(256)) * 300,
    "bin/noise.bin": bytes(noise.getrandbits(8) for _ in range(150_000)),  # spans the volumes
    "说明.txt": "说明".encode("gbk"),
    "empty.txt": b"",
    "logs": None,
}


def description(mode_lines):
    return ("[product]\nname = 示例\nversion = 1.0\ncompany = 测试公司\n"
            "[package]\nempty_folders = logs\n" + mode_lines)


CAPTION = "示例1.0-安装向导"  # the wizard's caption: what the package holds is unpacked by then


def product_folder(name):
    return os.path.join(work, name, "source", "files")


def check_config(new, staged, label):
    """One fresh configuration folder holding every staged configuration file; those the variable
    pass does not rewrite are unpacked byte for byte."""
    folders = config_folders(new)
    if not h.check(len(folders) == 1, f"{label}: one fresh configuration folder "
                   f"({sorted(os.path.basename(p) for p in new)})"):
        return None
    folder = folders[0]
    rewritten = {"data.ini", "QEVDLL_s.ini", "GUItext.ini", "Except.ini"}
    names = sorted(os.listdir(staged))
    h.check(all(os.path.isfile(os.path.join(folder, n)) for n in names),
            f"{label}: every configuration file unpacked ({names})")
    h.check(all(filecmp.cmp(os.path.join(staged, n), os.path.join(folder, n), shallow=False)
                for n in names if n not in rewritten and os.path.isfile(os.path.join(folder, n))),
            f"{label}: the files the variable pass leaves alone are unpacked byte for byte")
    data = read_ini(open(os.path.join(folder, "data.ini"), "rb").read())
    h.check(data.get("墨桐软件安装配置", {}).get("墨桐软件名称") == "示例",
            f"{label}: data.ini names the product")
    return folder


# Case 1: the data travels inside the installer. (Earlier versions left the library in the
# temporary folder itself.)
for t in h.temp_folders():
    if os.path.exists(os.path.join(t, "7-zip32.dll")):
        os.remove(os.path.join(t, "7-zip32.dll"))
installer, _, out = h.package("appended", description("mode = appended\nprogress_mib = 0\n"),
                              PRODUCT, keep_work=True)
staged = os.path.join(out, ".qevpack-work", "config")
shown, new = h.run_to_wizard(installer, CAPTION)
h.check(shown, "appended: the wizard is shown once the package is unpacked")
libs = [os.path.join(p, "7-zip32.dll") for p in new]
h.check(any(os.path.isfile(p) and filecmp.cmp(p, library, shallow=False) for p in libs),
        "7-zip32.dll written into a fresh folder of the run")
h.check(not any(os.path.exists(os.path.join(t, "7-zip32.dll")) for t in h.temp_folders()),
        "no 7-zip32.dll in the temporary folder itself")
check_config(new, staged, "appended")
copies = [p for p in new if p.endswith(".tmp.7zqev")]
if h.check(len(copies) == 1, "appended: one .7zqev copy of the data block"):
    with open(copies[0], "rb") as f:
        head = f.read(21)
    h.check(head[:19] == marker("QEV-mark=7zipdataA"), "appended: the copy starts with the marker")
    h.check(head[19:21] == b"7z", "appended: its archive starts at offset 19")
    out1 = os.path.join(work, "appended", "extracted")
    h.check(extract_7z(copies[0], out1) and same_tree(out1, product_folder("appended")),
            "appended: the copy extracts to the product folder byte for byte")
h.check(not [p for p in new if p.endswith("datas.7z")], "appended: nothing joined")
h.clean_temp()

# Cases 2-4: volumes beside the installer.
for naming in ("ordered", "unordered", "counted"):
    installer, volumes, out = h.package(
        naming, description(f"mode = volumes\nvolume_size = 40k\nvolume_naming = {naming}\n"),
        PRODUCT)
    h.check(len(volumes) >= 3, f"{naming}: the builder made {len(volumes)} volumes")
    shown, new = h.run_to_wizard(installer, CAPTION)
    h.check(shown, f"{naming}: the wizard is shown once the package is unpacked")
    folder = config_folders(new)
    h.check(len(folder) == 1, f"{naming}: one fresh configuration folder")
    h.check(not [p for p in new if p.endswith(".7zqev")], f"{naming}: no data block copy")
    joined = [p for p in new if p.endswith(".tmpdatas.7z")]
    whole = b"".join(open(v, "rb").read() for v in volumes)
    if naming == "unordered":
        # "cmd /c copy /b" joined the volumes in the listed order.
        if h.check(len(joined) == 1, "unordered: the volumes are joined into a temporary datas.7z"):
            h.check(open(joined[0], "rb").read() == whole, "unordered: joined in order")
            out2 = os.path.join(work, naming, "extracted")
            h.check(extract_7z(joined[0], out2) and same_tree(out2, product_folder(naming)),
                    "unordered: the joined archive extracts to the product folder")
    else:
        h.check(not joined, f"{naming}: volumes in order are read where they lie")
        first = volumes[0]
        expected = "示例.001" if naming == "counted" else None
        if expected:
            h.check(os.path.basename(first) == expected, f"counted: volumes named {expected}, ...")
        out2 = os.path.join(work, naming, "extracted")
        h.check(extract_7z(first, out2) and same_tree(out2, product_folder(naming)),
                f"{naming}: the volumes extract to the product folder")
    h.clean_temp()

# Case 5: a counted volume is missing: "缺少分卷文件:" + its path in a box titled "运行失败"; the
# installer waits there until the box is closed (here: until it is killed).
os.remove(volumes[-1])
before = h.temp_snapshot()
process = h.start(installer, cwd=os.path.dirname(installer))
try:
    shown = display.wait_for_window("运行失败", process)
    h.check(shown, "missing volume: a window titled 运行失败 is shown")
    shot = os.path.join(work, "missing_volume.png")
    h.check(display.screenshot(shot), f"missing volume: screenshot {shot}")
    h.check(process.poll() is None, "missing volume: setup.exe waits on the message box")
finally:
    h.stop(process)
    h.wait_server()
h.temp_new(before)
h.clean_temp()
display.close()
sys.exit(h.exit_code())
