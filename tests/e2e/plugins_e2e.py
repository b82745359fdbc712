#!/usr/bin/env python3
"""Plug-ins under Wine, in installers made by the package builder, observed from outside: the test
plug-in is carried in the package, loaded by setup.exe, writes every notification and answer to a
log file and acts by rules given as its load arguments. It walks the wizard by pressing its
buttons, vetoes Next and quitting, switches a page off through PageEnabledFlags, inserts a page,
registers callbacks, starts the install with progress and log hooks, and steers the extraction
(exclude list, its own extraction, an alternative archive).
A person at the wizard (the driver qevdrive) meets a plug-in that refuses a component's tick and
a page change and rewrites the finish options; a background install (-hp) reaches the plug-in's
requests through a hidden window, and so does a silent uninstall (uninst.exe -hp).
Usage: plugins_e2e.py QEVPACK SETUP.EXE PLUGIN.DLL QEVDRIVE.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import subprocess
import sys
import time

from qevtest import Display, Harness

qevpack, setup, plugin, drive, run_sh, prefix, work = sys.argv[1:8]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()
root = h.unix_path("C:\\")
shutil.rmtree(os.path.join(root, "QevPlug"), ignore_errors=True)
os.makedirs(os.path.join(root, "QevPlug"))
with open(plugin, "rb") as f:
    PLUGIN = f.read()

FILES = {"app.exe": b"MZ app" * 500, "readme.txt": "说明".encode("gbk") * 50,
         "docs/manual.txt": b"manual\r\n" * 40, "docs/more.txt": b"more"}


def package(name, rules, mode="", licence=True, extra_product="",
            sections="[component]\nname = 基本组件"):
    description = f"""[product]
name = {name}
version = 1.0
install_dir = C:\\QevPlug\\{name}
components_page = yes
finish_page = yes
directory_page = yes
{"licence = licence.txt" if licence else ""}
{"install_mode = " + mode if mode else ""}
{extra_product}
[package]
mode = appended
{sections}
[plugin]
file = plugin.dll
export = Start
mode = both
param = text:C:\\QevPlug\\{name}.log
param = text:{rules}
"""
    extra = {"plugin.dll": PLUGIN, "licence.txt": "许可协议\n".encode("utf-8")}
    installer, _, _ = h.package(name, description, FILES, extra=extra)
    return installer


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def log_of(name):
    path = os.path.join(root, "QevPlug", name + ".log")
    if not os.path.isfile(path):
        return []
    with open(path, "rb") as f:
        return [line.decode("gbk", "replace") for line in f.read().split(b"\r\n") if line]


def in_order(lines, expected):
    """The expected lines occur in this order (others may come between); the first missing one."""
    at = 0
    for want in expected:
        while at < len(lines) and lines[at] != want:
            at += 1
        if at == len(lines):
            return want
        at += 1
    return None


def installed(name):
    folder = os.path.join(root, "QevPlug", name)
    found = set()
    for base, _, names in os.walk(folder):
        for n in names:
            found.add(os.path.relpath(os.path.join(base, n), folder).replace(os.sep, "/"))
    return found - {"uninst.exe", "uninst.dat"}


def run(name, installer, *args, expect, limit=120, headless=False):
    """Runs the installer until it ends (a stalled wizard is photographed and ended). Headless:
    with no display at all."""
    before = h.temp_snapshot()
    if headless:
        status, _ = h.wine(installer, *args, cwd=os.path.dirname(installer), timeout=limit,
                           headless=True)
    else:
        process = h.start(installer, *args, cwd=os.path.dirname(installer))
        try:
            status = process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            shot = os.path.join(work, name + ".png")
            display.screenshot(shot)
            h.stop(process)
            status = f"none: still running after {limit} s ({shot})"
    h.wait_server()
    new = h.temp_new(before)
    h.check(not new, f"{name}: nothing new left in the temporary folder ({new})")
    h.check(status == expect, f"{name}: exit code {status} (expected {expect})")
    lines = log_of(name)
    h.check(bool(lines) and lines[0] == "start", f"{name}: the plug-in was loaded and started")
    h.clean_temp()
    return lines


# 1. The wizard walked by the plug-in: the licence page switched off, a page inserted at the end,
# the page callback, Next vetoed once on the components page, then installed and finished.
walk = ("load 0 0 flag 1 0;load 0 0 callbacks;load 0 0 wreq 1004 6;load 0 0 wreq 1003;"
        "1001 0 * click 102;1001 2 * click 102;1001 3 * click 102;1001 5 * click 102;"
        "1002 2 1 !veto;1002 2 1 !click 102")
lines = run("PlugWalk", package("PlugWalk", walk), expect=0)
missing = in_order(lines, [
    "start", "flag 1 = 0", "callbacks", "wreq 1004 = 6", "wreq 1003 = 7",
    "msg 1001 0 0", "page 0", "msg 1002 0 1", "msg 1001 2 0", "page 2", "msg 1002 2 1",
    "veto 1002", "msg 1002 2 1", "msg 1001 3 0", "msg 1002 3 1", "msg 1001 4 0",
    "msg 1005 0 0", "msg 1002 4 1", "msg 1001 5 0", "msg 1002 5 1"])
h.check(missing is None, f"PlugWalk: notifications in order (first missing: {missing}; log {lines})")
h.check("msg 1001 1 0" not in lines, "PlugWalk: the switched-off licence page is never shown")
h.check(lines.count("veto 1002") == 1, "PlugWalk: one veto, then Next goes on")
h.check(installed("PlugWalk") == set(FILES), f"PlugWalk: installed {sorted(installed('PlugWalk'))}")

# 2. Quitting vetoed once: the first confirmed quit keeps the wizard, the second ends it.
quit_rules = ("1001 0 * !answer 6;1001 0 * !click 103;"
              "1003 1 * !veto;1003 1 * !answer 6;1003 1 * !click 103")
lines = run("PlugQuit", package("PlugQuit", quit_rules), expect=6)
missing = in_order(lines, ["msg 1001 0 0", "click 103", "answer 6", "msg 1003 1 0", "click 103",
                           "veto 1003", "answer 6", "msg 1003 1 0"])
h.check(missing is None, f"PlugQuit: veto, then quit (first missing: {missing}; log {lines})")
h.check(not installed("PlugQuit"), "PlugQuit: nothing installed")

# 3. The install started by the plug-in on the directory page, with progress and log hooks; a
# second start asked for while it runs (the installing page shown) is refused.
hooks = ("1001 0 * click 102;1001 2 * click 102;1001 3 * !hooks -;1001 4 * !hooks -;"
         "1005 * * !answer 6;1005 * * !click 103")
lines = run("PlugHooks", package("PlugHooks", hooks, licence=False), expect=6)
progress = [int(l.split()[1]) for l in lines if l.startswith("progress ")]
h.check(bool(progress) and progress == sorted(progress) and progress[-1] == 100,
        f"PlugHooks: the progress hook saw the bar advance to 100 ({progress})")
logged = [l for l in lines if l.startswith("log ")]
h.check(any("readme.txt" in l and "抽取" in l for l in logged),
        f"PlugHooks: the log hook saw the extraction lines ({logged[:4]})")
h.check(in_order(lines, ["hooks = -1", "hooks = 0"]) is None,
        f"PlugHooks: request 1009 reports an install that ran, and refuses one inside it ({lines})")
h.check(len([l for l in logged if "抽取" in l and "app.exe" in l]) == 1, "PlugHooks: one install")
h.check(installed("PlugHooks") == set(FILES), f"PlugHooks: installed {sorted(installed('PlugHooks'))}")

# An install the plug-in asks for while it is loaded waits until the wizard is set up: the folder
# is in the path box and the tree is filled, so the unticked "说明" leaves readme.txt out; then the
# finish page follows, and the plug-in's press of Next there finishes.
early_sections = ("[component]\nname = 主程序\n[component]\nname = 说明\nchecked = no\n"
                  "install = [假]removezip(readme.txt)")
lines = run("PlugEarly", package("PlugEarly", "load 0 0 hooks -;1005 * * !click 102",
                                 sections=early_sections), expect=0)
h.check(in_order(lines, ["hooks = 0", "msg 1005 0 0", "msg 1002 4 1", "msg 1001 5 0",
                         "msg 1002 5 1"]) is None, f"PlugEarly: installed, then finished ({lines})")
h.check(len([l for l in lines if l.startswith("log ") and "抽取" in l and "app.exe" in l]) == 1,
        "PlugEarly: one install")
h.check(installed("PlugEarly") == set(FILES) - {"readme.txt"},
        f"PlugEarly: the tree's choice counted ({sorted(installed('PlugEarly'))})")

# Refused (a wrong install password): the wizard stays on its first page with that page's buttons.
installer = package("PlugEarlyNo", "load 0 0 hooks wrong", licence=False,
                    extra_product="install_password = secret")
steps = os.path.join(work, "PlugEarlyNo.steps")
with open(steps, "w", encoding="utf-8") as f:
    f.write(f'''start "{windows_path(installer)}"
window PlugEarlyNo1.0-安装向导
button 下一步(&N) enabled
button 上一步(&P) hidden
absent 安装(&I)
click 取消(&C)
box ~是否退出安装
answer yes
exit 6
''')
status, out = h.wine(drive, windows_path(steps), timeout=300)
print(f"---- PlugEarlyNo\n{out.decode('utf-8', 'replace')}", end="", flush=True)
h.check(status == 0 and "hooks = 0" in log_of("PlugEarlyNo") and not installed("PlugEarlyNo"),
        f"PlugEarlyNo: refused, the welcome page as it was ({log_of('PlugEarlyNo')})")
h.clean_temp()

# 4. A direct install steered at load: the docs folder excluded, one file of it extracted by the
# plug-in into a folder of its own.
steer = ("load 0 0 ireq 1021 'docs;"
         "1001 5 * click 102;load 0 0 ireq 1013 'docs\\manual.txt$-C:\\QevPlug\\Extra$-$-0$-0")
lines = run("PlugSteer", package("PlugSteer", steer, mode="direct"), expect=0)
h.check(installed("PlugSteer") == {"app.exe", "readme.txt"},
        f"PlugSteer: the excluded folder stays out ({sorted(installed('PlugSteer'))})")
extra = os.path.join(root, "QevPlug", "Extra", "docs", "manual.txt")
h.check(os.path.isfile(extra) and open(extra, "rb").read() == FILES["docs/manual.txt"],
        "PlugSteer: request 1013 extracted docs\\manual.txt with its folder")

# 5. An alternative data archive set by the plug-in is what gets installed.
alt_src = os.path.join(work, "alt")
os.makedirs(alt_src, exist_ok=True)
with open(os.path.join(alt_src, "alt.txt"), "wb") as f:
    f.write(b"from the plug-in's archive")
subprocess.run(["7zz", "a", "-bd", "-bso0", os.path.join(root, "QevPlug", "alt.7z"), "alt.txt"],
               cwd=alt_src, check=True)
lines = run("PlugAlt", package("PlugAlt", "1001 5 * click 102;load 0 0 ireq 1023 "
                               "'C:\\QevPlug\\alt.7z", mode="direct"), expect=0)
h.check(installed("PlugAlt") == {"alt.txt"}, f"PlugAlt: installed {sorted(installed('PlugAlt'))}")

# 6. The uninstaller: its plug-in cancels the first removal (2000 with 1), then runs it itself
# through request 2010 with a log callback after setting the option ticks (2004); the record of
# request 2001 names the product and the folder.
uninstall_rules = ("load 0 0 ureq 2004 '真,假;load 0 0 info;load 0 0 urun;load 0 0 urun;"
                   "2000 1 * !veto;1001 5 * click 102")
installer = package("PlugUninst", uninstall_rules, mode="direct")
run("PlugUninst", installer, expect=0)
before = len(log_of("PlugUninst"))
h.check(installed("PlugUninst") == set(FILES), "PlugUninst: installed")
before_uninstall = h.temp_snapshot()
status, _ = h.wine("C:\\QevPlug\\PlugUninst\\uninst.exe", "-hideend", timeout=240)
new = h.temp_new(before_uninstall)
h.check(not new, f"PlugUninst: the uninstaller left nothing in the temporary folder ({new})")
h.clean_temp()
lines = log_of("PlugUninst")[before:]
info = [l for l in lines if l.startswith("info ")]
h.check(bool(info) and info[0].startswith("info PlugUninst|1.0|") and
        "|C:\\QevPlug\\PlugUninst|" in info[0], f"PlugUninst: request 2001 ({info})")
lines = [l if not l.startswith("info ") else "info PlugUninst|1.0|" for l in lines]
missing = in_order(lines, ["start", "ureq 2004 = 0", "info PlugUninst|1.0|", "msg 2000 1 0",
                           "veto 2000", "urun = 0", "msg 2000 1 0", "msg 2000 2 0", "urun = 0"])
h.check(missing is None, f"PlugUninst: cancelled once, then run by the plug-in (first missing: "
        f"{missing}; log {lines})")
h.check(any(l.startswith("ulog ") for l in lines), "PlugUninst: the log callback saw the run")
h.check(not installed("PlugUninst"), f"PlugUninst: removed ({sorted(installed('PlugUninst'))})")

# 7. A background install (-hp): no window is shown, yet the plug-in reaches the installer at
# load through a hidden window. It moves the install folder (1010) and reads it back (1006), keeps
# docs out (1021), gets no window (1001) and no header (1000, 1004), and starts the install itself
# with the install password and its hooks (1009); the install runs once, a second start is
# refused, and the plug-in hears of the end (1005).
background = ("load 0 0 wreq 1010 'C:\\QevPlug\\BgMoved;load 0 0 itext 1006;load 0 0 ireq 1021 'docs;"
              "load 0 0 ireq 1001 0;load 0 0 wreq 1000 'A$，B;load 0 0 wreq 1004 6;"
              "load 0 0 wreq 1007;load 0 0 hooks secret;load 0 0 hooks secret")
# A script store replaced at load (1012) is the one a background install runs: its "说明" drops
# readme.txt though the component stays ticked.
swap = "load 0 0 swap [假]removezip(readme.txt) [真]removezip(readme.txt)"
optional = "[component]\nname = 主程序\n[component]\nname = 说明\ninstall = [假]removezip(readme.txt)"
shutil.rmtree(os.path.join(root, "QevPlug", "BgMoved"), ignore_errors=True)
installer = package("PlugBg", background, licence=False, extra_product="install_password = secret",
                    sections=optional)
lines = run("PlugBg", installer, "-hp", expect=0)
missing = in_order(lines, ["wreq 1010 = 0", "itext 1006 = C:\\QevPlug\\BgMoved", "ireq 1021 = 0",
                           "ireq 1001 = 0", "wreq 1000 = 0", "wreq 1004 = -1", "wreq 1007 = 4",
                           "hooks = 0", "hooks = -1", "msg 1005 0 0"])
h.check(missing is None, f"PlugBg: requests answered (first missing: {missing}; log {lines})")
progress = [int(l.split()[1]) for l in lines if l.startswith("progress ")]
h.check(bool(progress) and progress == sorted(progress) and progress[-1] == 100,
        f"PlugBg: the progress hook saw the install to 100 ({progress})")
extracted = [l for l in lines if l.startswith("log ") and "抽取" in l and "app.exe" in l]
h.check(len(extracted) == 1, f"PlugBg: one install, seen by the log hook ({extracted})")
moved = os.path.join(root, "QevPlug", "BgMoved")
found = {n for n in os.listdir(moved)} if os.path.isdir(moved) else set()
h.check(found >= {"app.exe", "readme.txt"} and "docs" not in found,
        f"PlugBg: installed into the plug-in's folder without docs ({sorted(found)})")
h.check(not installed("PlugBg"), "PlugBg: nothing in the configured folder")

shutil.rmtree(os.path.join(root, "QevPlug", "BgMoved"), ignore_errors=True)
lines = run("PlugBgStore", package("PlugBgStore", swap, sections=optional), "-hp", expect=0)
h.check("swap done" in lines and installed("PlugBgStore") == set(FILES) - {"readme.txt"},
        f"PlugBgStore: the plug-in's script store counted ({sorted(installed('PlugBgStore'))}; {lines})")

# 8. The same background install with no display at all: no window can be made, so the plug-in
# finds no entry; the install still runs to its end and the plug-in is told.
lines = run("PlugBgHeadless", package("PlugBgHeadless", "load 0 0 ireq 1021 'docs"), "-hp",
            expect=0, headless=True)
h.check("no request entry" in lines and "msg 1005 0 0" in lines,
        f"PlugBgHeadless: no entry, told of the end ({lines})")
h.check(installed("PlugBgHeadless") == set(FILES),
        f"PlugBgHeadless: installed {sorted(installed('PlugBgHeadless'))}")

# 9. A silent uninstall (uninst.exe -hp): no window is shown, yet the plug-in reaches the
# uninstaller at load through a hidden window. It keeps docs (2002), reads the UninstallInfo (2001:
# no window handle), asks for the window (2003: there is none to show) and runs the removal itself
# with its log callback (2010); a second run is refused, so the removal runs once. Without any
# display the plug-in finds no entry and the uninstall still runs to its end. Either way the exit
# code is the uninstall's and nothing is left in the temporary folder.
def silent_uninstall(name, rules, headless=False):
    run(name, package(name, rules), "-hp", expect=0)
    before_lines = len(log_of(name))
    before = h.temp_snapshot()
    status, _ = h.wine(f"C:\\QevPlug\\{name}\\uninst.exe", "-hp", timeout=240, headless=headless)
    new = h.temp_new(before)
    h.clean_temp()
    h.check(status == 0, f"{name}: uninst.exe -hp ends with 0 (got {status})")
    h.check(not new, f"{name}: nothing new left in the temporary folder ({new})")
    return log_of(name)[before_lines:]


lines = silent_uninstall("PlugUx", "load 0 0 ureq 2002 'docs;load 0 0 info;load 0 0 ureq 2003 1;"
                         "load 0 0 urun;load 0 0 urun")
info = [l for l in lines if l.startswith("info ")]
h.check(len(info) == 1 and info[0].startswith("info PlugUx|1.0|") and
        info[0].endswith("|C:\\QevPlug\\PlugUx|0"), f"PlugUx: request 2001 ({info})")
missing = in_order(lines, ["start", "ureq 2002 = 0", "ureq 2003 = 0", "msg 2000 1 0",
                           "msg 2000 2 0", "urun = 0", "urun = 0"])
h.check(missing is None and lines.count("msg 2000 1 0") == 1,
        f"PlugUx: the plug-in ran the removal once (first missing: {missing}; log {lines})")
ulog = [l for l in lines if l.startswith("ulog ")]
h.check(any("app.exe" in l and "删除文件" in l for l in ulog), f"PlugUx: the log callback saw the run ({ulog[:3]})")
h.check(installed("PlugUx") == {"docs/manual.txt", "docs/more.txt"},
        f"PlugUx: removed all but the kept docs ({sorted(installed('PlugUx'))})")
shutil.rmtree(os.path.join(root, "QevPlug", "PlugUx"), ignore_errors=True)

lines = silent_uninstall("PlugUxHeadless", "load 0 0 ureq 2002 'docs", headless=True)
h.check(in_order(lines, ["start", "no request entry", "msg 2000 1 0", "msg 2000 2 0"]) is None,
        f"PlugUxHeadless: no entry, the removal told to the plug-in ({lines})")
h.check(not os.path.isdir(os.path.join(root, "QevPlug", "PlugUxHeadless")),
        "PlugUxHeadless: the product is removed")

# 10. A person at the wizard (qevdrive): the plug-in's check callback refuses unticking "文档" (the
# tick comes back and its files are installed) but not "说明"; it keeps the components page once
# when Next is pressed, and puts a header of its own on the directory page (request 1000). On the finish page its changes to the finish options (request 1005: one
# untick, one tick with a command of its own) show; the person unticks one more; Finish runs
# what the list then holds, and the plug-in's list saw the person's click.
marks = {k: os.path.join(root, "QevPlug", f"PlugDrive-{k}.txt") for k in ("a", "b", "b2", "c")}
for mark in marks.values():
    if os.path.exists(mark):
        os.remove(mark)
drive_rules = ("load 0 0 callbacks 1;1002 2 1 !veto;1001 3 * !wreq 1000 '插件标题$，插件副标题;"
               "1005 * * finish 1 0;"
               "1005 * * finish 2 1 'cmd /c echo plug> C:\\QevPlug\\PlugDrive-b2.txt;1002 5 1 finish 3")
options = "".join(f"""[finish_option]
title = 选项{title}
command = cmd /c echo {k}> C:\\QevPlug\\PlugDrive-{k}.txt
visible = yes
checked = {checked}
""" for title, k, checked in (("甲", "a", "yes"), ("乙", "b", "no"), ("丙", "c", "yes")))
installer = package("PlugDrive", drive_rules, licence=False, sections=f"""[component]
name = 主程序
[component]
name = 文档
install = [假]removezip(docs)
[component]
name = 说明
install = [假]removezip(readme.txt)
{options}""")
steps = os.path.join(work, "PlugDrive.steps")
with open(steps, "w", encoding="utf-8") as f:
    f.write(f'''start "{windows_path(installer)}"
window PlugDrive1.0-安装向导
click 下一步(&N)
wait 选择组件
ticked 文档
toggle 文档
ticked 文档
untick 说明
unticked 说明
click 下一步(&N)
expect 选择组件
absent 选择安装位置
click 下一步(&N)
wait 插件标题
expect 插件副标题
absent 选择安装位置
shot {windows_path(os.path.join(work, "PlugDrive-header.bmp"))}
click 安装(&I)
wait 完成(&F) 120
button 选项甲 unchecked
button 选项乙 checked
button 选项丙 checked
absent 插件标题
click 选项丙
button 选项丙 unchecked
click 完成(&F)
exit 0
''')
before_drive = h.temp_snapshot()
status, out = h.wine(drive, windows_path(steps), timeout=300)
text = out.decode("utf-8", "replace")
print(f"---- PlugDrive\n{text}", end="" if text.endswith("\n") else "\n", flush=True)
h.check(status == 0, "PlugDrive: every step of the driver passed")
new = h.temp_new(before_drive)
h.check(not new, f"PlugDrive: nothing new left in the temporary folder ({new})")
h.clean_temp()
lines = log_of("PlugDrive")
missing = in_order(lines, ["callbacks", "check 1 0", "check 2 0", "veto 1002", "msg 1005 0 0",
                           "finish 1 = 0 1 cmd /c echo a> C:\\QevPlug\\PlugDrive-a.txt",
                           "finish 2 = 1 1 cmd /c echo plug> C:\\QevPlug\\PlugDrive-b2.txt",
                           "msg 1002 5 1", "finish 3 = 0 1 cmd /c echo c> C:\\QevPlug\\PlugDrive-c.txt"])
h.check(missing is None, f"PlugDrive: refusals and finish options (first missing: {missing}; log {lines})")
h.check(installed("PlugDrive") == {"app.exe", "docs/manual.txt", "docs/more.txt"},
        f"PlugDrive: the refused untick kept docs, the other left readme out "
        f"({sorted(installed('PlugDrive'))})")
deadline = time.monotonic() + 10
while time.monotonic() < deadline and not os.path.exists(marks["b2"]):
    time.sleep(0.2)
ran = sorted(k for k, mark in marks.items() if os.path.exists(mark))
h.check(ran == ["b2"], f"PlugDrive: Finish ran the plug-in's command only (ran: {ran})")

# 11. A page the plug-in inserts (request 1004, asked among the wizard's pages: it goes after them)
# is reached by request 1008 when the person presses Next on the components page, with a header of
# the plug-in's own; Back returns to the components page, Next goes on to the directory page.
page_rules = ("load 0 0 wreq 1004 3;1002 2 1 wreq 1008 6;1002 2 1 veto;"
              "1001 6 * !wreq 1000 '插件页标题$，插件页说明")
installer = package("PlugPage", page_rules, licence=False)
steps = os.path.join(work, "PlugPage.steps")
with open(steps, "w", encoding="utf-8") as f:
    f.write(f'''start "{windows_path(installer)}"
window PlugPage1.0-安装向导
click 下一步(&N)
wait 选择组件
click 下一步(&N)
wait 插件页标题
expect 插件页说明
absent 选择组件
button 上一步(&P) shown enabled
button 下一步(&N) enabled
click 上一步(&P)
wait 选择组件
absent 插件页标题
click 下一步(&N)
wait 插件页标题
click 下一步(&N)
wait 选择安装位置
absent 插件页标题
click 安装(&I)
wait 完成(&F) 120
click 完成(&F)
exit 0
''')
status, out = h.wine(drive, windows_path(steps), timeout=300)
text = out.decode("utf-8", "replace")
print(f"---- PlugPage\n{text}", end="" if text.endswith("\n") else "\n", flush=True)
h.check(status == 0, "PlugPage: every step of the driver passed")
h.clean_temp()
lines = log_of("PlugPage")
missing = in_order(lines, ["wreq 1004 = 6", "msg 1002 2 1", "msg 1001 6 0", "veto 1002",
                           "msg 1002 6 -1", "msg 1001 2 0", "msg 1001 6 0", "msg 1002 6 1",
                           "msg 1001 3 0", "msg 1001 5 0"])
h.check(missing is None, f"PlugPage: the inserted page in the flow (first missing: {missing}; log {lines})")
h.check(installed("PlugPage") == set(FILES), f"PlugPage: installed {sorted(installed('PlugPage'))}")

display.close()
sys.exit(h.exit_code())
