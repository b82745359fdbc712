#!/usr/bin/env python3
"""Hostile inputs under Wine, checked from outside. A foreign "7-zip32.dll" held open in the
temporary folder (where earlier versions wrote and loaded the library) is neither loaded nor in the
way: the installer writes its own library into a private folder, installs, and leaves nothing in the
temporary folder. Member names outside GBK are installed exactly; names Windows takes for one
file fail the install with exit code 4 and the two names in the log; shortcut locations with an
unknown variable, and link names with a folder part, are refused with a log line.
Usage: hostile_inputs.py QEVPACK SETUP.EXE HOLD_FILE.EXE FOREIGN.DLL RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import subprocess
import sys
import time

from qevtest import Display, Harness

qevpack, setup, hold_file, foreign, run_sh, prefix, work = sys.argv[1:8]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()  # the installer makes its (hidden) window even in the background
root = h.unix_path("C:\\")
shutil.rmtree(os.path.join(root, "QevHostile"), ignore_errors=True)
TRACE = os.path.join(root, "qev_foreign_loaded.txt")


def log_lines(windows_path):
    unix = h.unix_path(windows_path)
    if unix is None:
        return []
    return open(unix, "rb").read().decode("utf-8", "replace").splitlines()


def installed(folder):
    unix = h.unix_path(folder)
    found = {}
    for base, _, names in os.walk(unix or "/nonexistent"):
        for n in names:
            rel = os.path.relpath(os.path.join(base, n), unix).replace(os.sep, "/")
            found[rel] = open(os.path.join(base, n), "rb").read()
    return found


def run(installer, *arguments):
    """Runs an installer that must end by itself within two minutes; returns its exit status (None
    when it had to be ended) and the new entries of the temporary folder."""
    before = h.temp_snapshot()
    process = h.start(installer, *arguments, cwd=os.path.dirname(installer))
    try:
        status = process.wait(timeout=120)
    except subprocess.TimeoutExpired:
        status = None
        h.stop(process)
        subprocess.run(["wineserver", "-k"], env=h.env())
    h.wait_server()
    return status, h.temp_new(before)


# ---- The planted library, and names outside GBK ----
EXACT = {"app.txt": b"app", "Straße.txt": b"strasse", "âb/Ω文.txt": b"omega"}
description = r"""[product]
name = QevHostile
version = 1
switch_path = /D=
uninstaller = no
[package]
mode = appended
[shortcut]
name = Unknown
target = app.txt
location = %SystemRoot%\QevLinks
[shortcut]
name = ..\..\QevEscape
target = app.txt
location = C:\QevHostile
"""
installer, _, _ = h.package("planted", description, EXACT)
temp = h.temp_folders()[0]
planted = os.path.join(temp, "7-zip32.dll")
shutil.copyfile(foreign, planted)
if os.path.exists(TRACE):
    os.remove(TRACE)
ready, stop = os.path.join(work, "held.ready"), os.path.join(work, "held.stop")
holder = h.start(hold_file, "Z:" + planted.replace("/", "\\"), "Z:" + ready.replace("/", "\\"),
                 "Z:" + stop.replace("/", "\\"))
deadline = time.monotonic() + 120
while not os.path.exists(ready) and holder.poll() is None and time.monotonic() < deadline:
    time.sleep(0.2)
try:
    if h.check(os.path.exists(ready), "a foreign 7-zip32.dll is held open in the temporary folder"):
        status, new = run(installer, "-hp", "/D=C:\\QevHostile\\planted",
                          "/LOG=C:\\QevHostile\\planted.log")
        h.check(status == 0, f"planted library: the install succeeds (exit code {status})")
        h.check(not os.path.exists(TRACE), "planted library: the foreign library was not loaded")
        got = installed("C:\\QevHostile\\planted")
        h.check(got == EXACT, f"names outside GBK installed exactly ({sorted(got)})")
        h.check(new == [], f"nothing left in the temporary folder ({[os.path.basename(p) for p in new]})")
        h.check(open(planted, "rb").read() == open(foreign, "rb").read(),
                "the foreign file is left as it was")
        lines = log_lines("C:\\QevHostile\\planted.log")
        refused = [line for line in lines if "拒绝创建快捷方式: " in line]
        h.check(len(refused) == 2, f"two shortcuts refused with a log line ({refused})")
        h.check(not os.path.exists(os.path.join(os.path.dirname(installer), "%SystemRoot%")),
                "no folder named after the unknown variable beside the installer")
        h.check(not [n for n in os.listdir(root) if n.startswith("QevEscape")],
                "no link outside its folder")
finally:
    open(stop, "w").close()
    holder.wait(timeout=30)
    h.wait_server()
    os.remove(planted)

# ---- Names Windows takes for one file ----
for label, files in (("case", {"Readme.txt": b"1", "README.txt": b"2"}),
                     ("dot", {"notes.": b"1", "notes": b"2"})):
    installer, _, _ = h.package(label, "[product]\nname = QevClash\nversion = 1\nswitch_path = /D=\n"
                                "uninstaller = no\n[package]\nmode = appended\n", files)
    folder = f"C:\\QevHostile\\{label}"
    status, new = run(installer, "-hp", "/D=" + folder, f"/LOG={folder}.log")
    h.check(status == 4, f"{label}: the install fails with exit code 4 (got {status})")
    got = installed(folder)
    h.check(got == {}, f"{label}: no file written ({sorted(got)})")
    names = ", ".join(files)
    h.check(any("Two member names are one file on Windows" in line and
                all(n in line for n in files) for line in log_lines(folder + ".log")),
            f"{label}: the log names both members ({names})")
    h.check(new == [], f"{label}: nothing left in the temporary folder")

h.clean_temp()
shutil.rmtree(os.path.join(root, "QevHostile"), ignore_errors=True)
display.close()
sys.exit(h.exit_code())
