#!/usr/bin/env python3
"""An installer larger than 2 GiB installs silently: its data archive (stored, so the installer
really is that large) holds a sparse 2 GiB + 4 KiB file with marked bytes near its end and a small
file stored behind it, so every 64-bit offset on the way is crossed: the block searches over the
installer, the copy-out of the data block, the archive reader and the extracted file. In the 32-bit
tree this runs the shipped setup.exe, whose address space is far smaller than the file.
Usage: large_package.py QEVPACK SETUP.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import subprocess
import sys

from qevtest import Harness

qevpack, setup, run_sh, prefix, work = sys.argv[1:6]
h = Harness(qevpack, setup, run_sh, prefix, work)
BIG = (2 << 30) + 4096
TAIL = b"the end of the large file\r\n" * 3
SMALL = "说明\r\n".encode("gbk") * 40

source = os.path.join(work, "source")
files = os.path.join(source, "files")
os.makedirs(os.path.join(files, "zz"))
with open(os.path.join(files, "big.bin"), "wb") as f:
    f.truncate(BIG)  # sparse: no disk used for the zeros
    f.seek(BIG - 1000)
    f.write(TAIL)
with open(os.path.join(files, "zz", "after.txt"), "wb") as f:
    f.write(SMALL)
with open(os.path.join(source, "package.ini"), "w", encoding="utf-8") as f:
    f.write("[product]\nname = QevLarge\nversion = 1.0\ninstall_dir = C:\\QevLarge\nuninstaller = no\n"
            "switch_path = /D=\n[package]\noutput = large-setup.exe\ndata_options = -mx=0\n")
out = os.path.join(work, "out")
done = subprocess.run([qevpack, source, "-o", out, "--setup", setup], capture_output=True, text=True)
os.remove(os.path.join(files, "big.bin"))
if done.returncode != 0:
    raise SystemExit(f"qevpack failed:\n{done.stdout}{done.stderr}")
installer = os.path.join(out, "large-setup.exe")
h.check(os.path.getsize(installer) > BIG, f"the installer is larger than 2 GiB "
        f"({os.path.getsize(installer):,} bytes)")

target = h.unix_path("C:\\")
shutil.rmtree(os.path.join(target, "QevLarge"), ignore_errors=True)
status, new = h.run_setup(installer, "-hp", "/D=C:\\QevLarge", "/LOG=C:\\qev-large.log",
                          timeout=900)
os.remove(installer)
h.check(status == 0, f"the silent install ends with 0 (got {status})")
folder = os.path.join(target, "QevLarge")
big = os.path.join(folder, "big.bin")
h.check(os.path.isfile(big) and os.path.getsize(big) == BIG, "the large file has its full size")
if os.path.isfile(big):
    with open(big, "rb") as f:
        f.seek(BIG - 1000)
        h.check(f.read(len(TAIL)) == TAIL, "the bytes near its end are the packed ones")
after = os.path.join(folder, "zz", "after.txt")
h.check(os.path.isfile(after) and open(after, "rb").read() == SMALL,
        "the file stored behind it is intact")
h.check(not [p for p in new if os.path.exists(p)], "nothing is left in the temporary folder")
log = os.path.join(target, "qev-large.log")
if os.path.isfile(log):
    print(open(log, encoding="utf-8", errors="replace").read().strip().splitlines()[-1])
    os.remove(log)
shutil.rmtree(folder, ignore_errors=True)
h.clean_temp()
shutil.rmtree(work, ignore_errors=True)
sys.exit(h.exit_code())
