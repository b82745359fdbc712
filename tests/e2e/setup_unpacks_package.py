#!/usr/bin/env python3
"""setup.exe under Wine unpacks its package: the archive library is written into the temporary
folder, the configuration files into a fresh "<hex>.tmp" folder, and the data block is copied to a
".7zqev" file (or the split volumes joined) whose archive holds exactly the product folder.
Usage: setup_unpacks_package.py SETUP.EXE 7-ZIP32.DLL RUN.SH PREFIX WORK-FOLDER"""
import filecmp
import glob
import os
import shutil
import subprocess
import sys

from make_installer import make_installer, marker, seven_zip

setup, library, run_sh, prefix, work = sys.argv[1:6]
failed = 0


def check(cond, what):
    global failed
    print(("ok   " if cond else "FAIL ") + what)
    failed += 0 if cond else 1


def write_product(folder):
    os.makedirs(os.path.join(folder, "bin"))
    with open(os.path.join(folder, "readme.txt"), "wb") as f:
        f.write(b"hello\r\n")
    with open(os.path.join(folder, "bin", "tool.dat"), "wb") as f:
        f.write(bytes(range(256)) * 300)
    with open(os.path.join(folder, "说明.txt"), "wb") as f:
        f.write("说明".encode("gbk"))


def write_config(folder, data_ini):
    os.makedirs(folder)
    with open(os.path.join(folder, "data.ini"), "wb") as f:
        f.write(data_ini.encode("gbk"))
    with open(os.path.join(folder, "GUItext.ini"), "wb") as f:
        f.write(b"\x00\x01\x02 enciphered elsewhere")


def same_tree(a, b):
    cmp = filecmp.dircmp(a, b)
    if cmp.left_only or cmp.right_only or cmp.funny_files:
        return False
    if any(not filecmp.cmp(os.path.join(a, n), os.path.join(b, n), shallow=False)
           for n in cmp.common_files):
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in cmp.common_dirs)


def temp_folders():
    """The user's temporary folder of the prefix (Wine puts it in either place)."""
    users = os.path.join(prefix, "drive_c", "users")
    found = glob.glob(os.path.join(users, "*", "Temp")) + \
        glob.glob(os.path.join(users, "*", "AppData", "Local", "Temp"))
    return [t for t in found if not t.startswith(os.path.join(users, "Public"))]


def run(installer):
    """Runs the installer; returns its exit status and the new entries of the temporary folder."""
    before = {t: set(os.listdir(t)) for t in temp_folders()}
    # Without a display the wizard window cannot be made, so the installer ends once the package
    # is unpacked instead of waiting for the user.
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    status = subprocess.run([run_sh, prefix, "win64", installer], cwd=os.path.dirname(installer),
                            env=env, timeout=120).returncode
    subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=prefix))
    new = []
    for t in temp_folders():
        new += [os.path.join(t, n) for n in os.listdir(t) if n not in before.get(t, set())]
    made.extend(new)
    return status, new


made = []  # everything the runs left in the temporary folder, removed at the end
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
subprocess.run([run_sh, prefix, "win64", "cmd", "/c", "exit"], capture_output=True)  # the prefix
product = os.path.join(work, "product")
write_product(product)
data_ini = "[墨桐软件安装配置]\r\n安装包封装模式=x-0\r\n墨桐软件名称=示例\r\n"

# Case 1: the data travels inside the installer.
for t in temp_folders():  # the library must be written by this run
    if os.path.exists(os.path.join(t, "7-zip32.dll")):
        os.remove(os.path.join(t, "7-zip32.dll"))
write_config(os.path.join(work, "config1"), data_ini)
app1 = os.path.join(work, "app1")
os.makedirs(app1)
installer = os.path.join(app1, "setup.exe")
make_installer(setup, os.path.join(work, "config1"), product, installer)
status, new = run(installer)
check(status == 0, f"setup.exe ended with status 0 (got {status})")
libs = [os.path.join(t, "7-zip32.dll") for t in temp_folders()]
check(any(os.path.isfile(p) and filecmp.cmp(p, library, shallow=False) for p in libs),
      "7-zip32.dll written into the temporary folder")
configs = [p for p in new if p.endswith(".tmp") and os.path.isdir(p)]
check(len(configs) == 1, f"one fresh configuration folder ({[os.path.basename(p) for p in new]})")
if configs:
    got = open(os.path.join(configs[0], "data.ini"), "rb").read()
    check(got == data_ini.encode("gbk"), "data.ini unpacked byte for byte")
    check(os.path.isfile(os.path.join(configs[0], "GUItext.ini")), "GUItext.ini unpacked")
copies = [p for p in new if p.endswith(".tmp.7zqev")]
check(len(copies) == 1, "one .7zqev copy of the data block")
if copies:
    content = open(copies[0], "rb").read()
    check(content[:19] == marker("QEV-mark=7zipdataA"), "the copy starts with the block's marker")
    check(content[19:21] == b"7z", "its archive starts at offset 19")
    out = os.path.join(work, "out1")
    subprocess.run(["7zz", "x", "-bd", "-bso0", "-bsp0", "-o" + out, copies[0]], check=False)
    check(os.path.isdir(out) and same_tree(out, product), "the copy extracts to the product folder")

# Case 2: two volumes beside the installer, not in volume order: joined by the copy command.
volumes_ini = ("[墨桐软件安装配置]\r\n安装包封装模式=x\r\n压缩分卷数=2\r\n"
               "压缩分卷文件名=part_a.bin+part_b.bin+\r\n")
write_config(os.path.join(work, "config2"), volumes_ini)
app2 = os.path.join(work, "app2")
os.makedirs(app2)
installer = os.path.join(app2, "setup.exe")
make_installer(setup, os.path.join(work, "config2"), None, installer)
archive = seven_zip(product)
half = len(archive) // 2
open(os.path.join(app2, "part_a.bin"), "wb").write(archive[:half])
open(os.path.join(app2, "part_b.bin"), "wb").write(archive[half:])
status, new = run(installer)
check(status == 0, f"setup.exe with volumes ended with status 0 (got {status})")
joined = [p for p in new if p.endswith(".tmpdatas.7z")]
check(len(joined) == 1 and open(joined[0], "rb").read() == archive,
      "the volumes are joined into a temporary datas.7z")
check(not [p for p in new if p.endswith(".7zqev")], "no data block copy without a data block")

for p in made:
    shutil.rmtree(p, ignore_errors=True) if os.path.isdir(p) else os.remove(p)
sys.exit(1 if failed else 0)
