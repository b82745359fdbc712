#!/usr/bin/env python3
"""Silent installs under Wine of installers made by the package builder, checked from outside:
`setup.exe -hp /D=C:\\QevTest\\<case>` puts every file in place byte for byte (component scripts and
exclusion groups honoured), writes the shortcuts of the ticked components only, the Uninstall entry
in the configured registry view, the registry records and a .reg import, runs the before-install
and after-extraction programs in order, removes its temporary configuration, logs to /LOG in UTF-8
and ends with exit code 0; a refused directory and a corrupt data archive end with a non-zero code;
test mode installs nothing; an installer built with the product's icon carries it (Windows itself
takes it from the file) and installs as any other.
Usage: silent_install.py QEVPACK SETUP.EXE ICON-PROBE.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import random
import re
import shutil
import subprocess
import sys
import time

from pe import PE
from qevtest import Display, Harness, marker

qevpack, setup, icon_probe, run_sh, prefix, work = sys.argv[1:7]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()
root = h.unix_path("C:\\")
shutil.rmtree(os.path.join(root, "QevTest"), ignore_errors=True)
os.makedirs(os.path.join(root, "QevTest"))
USER_KEY = "HKCU\\Software\\QevEndToEnd"
MACHINE_KEY = "HKLM\\SOFTWARE\\QevTest"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
PRODUCTS = ["QevFull", "QevView32", "QevRefuse", "QevAltered", "QevTestMode"]

noise = random.Random(11)
PRODUCT = {
    "app.exe": b"MZ" + bytes(noise.getrandbits(8) for _ in range(30_000)),
    "readme.txt": "说明文字\r\n".encode("gbk") * 100,
    "中文目录/数据.dat": bytes(range(256)) * 64,
    "bin/tool.dat": b"tool" * 5000,
    "empty.txt": b"",
    "a.dll": b"MZ a.dll" * 100,
    "b.dll": b"MZ b.dll" * 100,
    "docs/manual.txt": b"manual\r\n" * 50,
    "docs/deep/more.txt": b"more",
    "marker.bat": b"@echo off\r\necho %1>>C:\\QevTest\\full-order.txt\r\n",
}


def installed_tree(folder):
    """{relative path with "/": bytes} of every file below `folder`."""
    files = {}
    for base, _, names in os.walk(folder):
        rel = os.path.relpath(base, folder).replace(os.sep, "/")
        for n in names:
            with open(os.path.join(base, n), "rb") as f:
                files[n if rel == "." else rel + "/" + n] = f.read()
    return files


def check_files(label, folder, expected, ignore=("uninst.exe", "uninst.dat")):
    unix = h.unix_path(folder)
    if not h.check(unix is not None, f"{label}: {folder} exists"):
        return
    files = installed_tree(unix)
    for name in ignore:
        files.pop(name, None)
    missing = sorted(set(expected) - set(files))
    extra = sorted(set(files) - set(expected))
    differ = sorted(n for n in expected if n in files and files[n] != expected[n])
    h.check(not missing and not extra and not differ,
            f"{label}: every file in place byte for byte (missing {missing}, extra {extra}, "
            f"different {differ})")


def read_lines(windows_path):
    unix = h.unix_path(windows_path)
    if unix is None:
        return None
    with open(unix, "rb") as f:
        return [line.strip() for line in f.read().decode("utf-8", "replace").splitlines()
                if line.strip()]


def lnk_names(folder):
    unix = h.unix_path(folder)
    return sorted(n for n in os.listdir(unix) if n.lower().endswith(".lnk")) if unix else []


def lnk_points_at(folder, name, target):
    unix = h.unix_path(folder + "\\" + name)
    if unix is None:
        return False
    data = open(unix, "rb").read()
    return target.encode("gbk") in data or target.encode("utf-16-le") in data


def config_left(new):
    return [os.path.basename(p) for p in new
            if (p.endswith(".tmp") and os.path.isdir(p)) or p.endswith(".7zqev")]


def registry(queries):
    """The values of several keys, each in a registry view, exported in one wine start (an export
    keeps every character, where reg query prints through the console's code page): one
    {name: (type, data text)} per query, None where the key does not exist in that view. The
    default value is named ""."""
    files = [f"C:\\QevTest\\export{i}.reg" for i in range(len(queries))]
    for f in files:
        unix = h.unix_path(f)
        if unix:
            os.remove(unix)
    h.wine("cmd", "/c", " & ".join(f"reg export {k} {f} /reg:{v} /y >nul 2>nul"
                                   for (k, v), f in zip(queries, files)))
    result = []
    for f in files:
        unix = h.unix_path(f)
        if unix is None:
            result.append(None)
            continue
        text = open(unix, "rb").read().decode("utf-16")
        values, sections = {}, 0
        for line in text.splitlines():
            if line.startswith("["):
                sections += 1
                continue
            m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
            if sections != 1 or not m:
                continue  # only the key itself, not its subkeys
            name = "" if m.group(1) == "@" else re.sub(r"\\(.)", r"\1", m.group(2))
            data = m.group(3)
            if data.startswith('"'):
                values[name] = ("REG_SZ", re.sub(r"\\(.)", r"\1", data[1:-1]))
            elif data.startswith("hex:"):
                values[name] = ("REG_BINARY", data[4:].replace(",", "").upper())
            elif data.startswith("dword:"):
                values[name] = ("REG_DWORD", hex(int(data[6:], 16)))
            else:
                values[name] = ("other", data)
        result.append(values)
        os.remove(unix)
    return result


# ---------------------------------------------------------------------------------------------
# Case "full": registry view 64, every kind of step.
full_description = r"""[product]
name = QevFull
version = 1.0
company = 测试公司
main_program = app.exe
install_dir = C:\QevTest\wrong
registry_view = 64
switch_path = /D=

[package]
mode = appended

[shortcut]
name = 应用
target = app.exe
location = %Desktop%,%MenuDir%\QevFull,%QuickLaunch%

[component]
name = 基本组件
[component]
name = 桌面快捷方式
install = setdesktop()
[component]
name = 开始菜单
install = setstartmenu()
[component]
name = 快速启动
checked = no
install = setquicklaunch()
[component]
name = 文档
checked = no
install = [假]removezip(docs)

[exclusion]
destination = %InstallPath%\plugins
members = a.dll, b.dll

[registry]
path = HKEY_CURRENT_USER\Software\QevEndToEnd\Full
name = Text
data = 文本 %InstallPath%
remove_on_uninstall = yes
[registry]
path = HKEY_CURRENT_USER\Software\QevEndToEnd\Full
name =
data = default value
[registry]
path = HKEY_CURRENT_USER\Software\QevEndToEnd\Full
name = Bin
type = REG_BINARY
data = 01 ff 7A
[registry]
path = HKEY_CURRENT_USER\Software\QevEndToEnd\Full
name = Count
type = REG_DWORD
data = 42
[registry]
path = HKEY_LOCAL_MACHINE\SOFTWARE\QevTest
name = Wide
data = 64
view = 64
[registry]
path = HKEY_LOCAL_MACHINE\SOFTWARE\QevTest
name = Narrow
data = 32
[registry]
type = file
file = import.reg

[run]
command = cmd /c echo before>>C:\QevTest\full-order.txt
external = yes
hidden = yes
wait = yes
when = before
[run]
command = cmd /c echo after>>C:\QevTest\full-order.txt
external = yes
hidden = yes
wait = yes
[run]
command = [sys=64]cmd /c echo sys64>>C:\QevTest\full-order.txt
external = yes
hidden = yes
wait = yes
[run]
command = [sys=32]cmd /c echo sys32>>C:\QevTest\full-order.txt
external = yes
hidden = yes
wait = yes
[run]
command = cmd /c echo et1>>C:\QevTest\full-order.txt%ET%echo et2>>C:\QevTest\full-order.txt
external = yes
hidden = yes
wait = yes
[run]
command = marker.bat inside
hidden = yes
wait = yes
"""
import_reg = ('REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QevEndToEnd\\Imported]\r\n'
              '"Path"="SXG(%InstallPath%)\\\\bin"\r\n\r\n').encode("gbk")
installer, _, _ = h.package("full", full_description, PRODUCT, extra={"import.reg": import_reg})


def forget_installs():
    """Removes what the installs of this test leave in the registry, in both views."""
    keys = [USER_KEY, MACHINE_KEY] + [UNINSTALL + p for p in PRODUCTS]
    h.cmd_lines(" & ".join(f"reg delete {k} /f /reg:{v} >nul 2>nul" for k in keys for v in (32, 64)))


forget_installs()
desktop, programs, quick = h.cmd_lines(
    "echo %USERPROFILE%\\Desktop& echo %APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs& "
    "echo %USERPROFILE%\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch")[-3:]
SHORTCUTS = [desktop + "\\应用.lnk", programs + "\\QevFull", quick + "\\应用.lnk",
             desktop + "\\三二.lnk", programs + "\\QevView32", quick + "\\三二.lnk"]


def remove_shortcuts():
    for path in SHORTCUTS:
        unix = h.unix_path(path)
        if unix and os.path.isdir(unix):
            shutil.rmtree(unix)
        elif unix:
            os.remove(unix)


remove_shortcuts()
status, new = h.run_setup_line(installer, '-hp /D=C:\\QevTest\\full "/LOG=C:\\QevTest\\new logs\\log.txt"')
h.check(status == 0, f"full: exit code 0 (got {status})")
expected = {k: v for k, v in PRODUCT.items() if k not in ("a.dll", "b.dll") and
            not k.startswith("docs/")}
expected["plugins/a.dll"] = PRODUCT["a.dll"]
expected["plugins/b.dll"] = PRODUCT["b.dll"]
check_files("full", "C:\\QevTest\\full", expected)
h.check(h.unix_path("C:\\QevTest\\wrong") is None, "full: the /D= folder wins over install_dir")
h.check(not config_left(new), f"full: configuration folder and .7zqev removed ({config_left(new)})")

order = read_lines("C:\\QevTest\\full-order.txt")
h.check(order == ["before", "after", "sys64", "et1", "et2", "inside"],
        f"full: programs ran in order with their flags ({order})")

h.check("应用.lnk" in lnk_names(desktop), f"full: desktop shortcut ({lnk_names(desktop)})")
h.check(lnk_names(programs + "\\QevFull") == ["应用.lnk"],
        f"full: start-menu shortcut ({lnk_names(programs + chr(92) + 'QevFull')})")
h.check(lnk_points_at(desktop, "应用.lnk", "C:\\QevTest\\full\\app.exe"),
        "full: the desktop shortcut points at the main program")
h.check("应用.lnk" not in lnk_names(quick), "full: no quick-launch shortcut (component unticked)")

log = h.unix_path("C:\\QevTest\\new logs\\log.txt")
if h.check(log is not None, "full: /LOG wrote C:\\QevTest\\new logs\\log.txt"):
    raw = open(log, "rb").read()
    try:
        text = raw.decode("utf-8")
        h.check("抽取: " in text and "readme.txt" in text, "full: the log is UTF-8 with the log lines")
    except UnicodeDecodeError:
        h.check(False, "full: the log is UTF-8")

# ---------------------------------------------------------------------------------------------
# Case "view32": registry view 32, only the quick-launch component ticked: the start-menu folder
# is removed again, the desktop gets nothing. Its installer carries the product's icon: bitmaps of
# 16, 32 and 48 pixels and a PNG of 256, each of its own colour, so the image Windows picks shows.
view32_description = r"""[product]
name = QevView32
version = 3.2
company = Qev
main_program = app.exe
switch_path = /D=
[package]
mode = appended
[pictures]
setup_icon = product.ico
[shortcut]
name = 三二
target = app.exe
location = %Desktop%,%MenuDir%\QevView32,%QuickLaunch%
[component]
name = 基本组件
[component]
name = 桌面快捷方式
checked = no
install = setdesktop()
[component]
name = 开始菜单
checked = no
install = setstartmenu()
[component]
name = 快速启动
install = setquicklaunch()
"""
COLOURS = {16: "C02020", 32: "20A040", 48: "2040C0", 256: "E0C020"}


def icon_bitmap(size, rgb):
    """A 32-bit icon image: header, colour rows (bottom up, BGRA), AND mask rows."""
    header = (40).to_bytes(4, "little") + size.to_bytes(4, "little") + (2 * size).to_bytes(4, "little")
    header += (1).to_bytes(2, "little") + (32).to_bytes(2, "little") + bytes(24)
    pixel = bytes.fromhex(rgb)[::-1] + b"\xff"
    return header + pixel * size * size + bytes((size + 31) // 32 * 4 * size)


def icon_file(images):
    """An icon file; its directory's sizes left 0 as careless tools write them."""
    out = b"\0\0\1\0" + len(images).to_bytes(2, "little")
    offset = 6 + 16 * len(images)
    for image in images:
        out += bytes(8) + len(image).to_bytes(4, "little") + offset.to_bytes(4, "little")
        offset += len(image)
    return out + b"".join(images)


ICON_IMAGES = [icon_bitmap(s, COLOURS[s]) for s in (16, 32, 48)] + [subprocess.run(
    ["convert", "-size", "256x256", "xc:#" + COLOURS[256], "png32:-"], capture_output=True,
    check=True).stdout]
installer32, _, _ = h.package("view32", view32_description, {"app.exe": PRODUCT["app.exe"]},
                              extra={"product.ico": icon_file(ICON_IMAGES)})
with open(installer32, "rb") as f:
    built = PE(f.read())
with open(setup, "rb") as f:
    plain = PE(f.read())
group = built.resource(14, 1)
ids = [int.from_bytes(group[6 + 14 * i + 12:6 + 14 * i + 14], "little") for i in range(group[4])]
h.check([built.resource(3, i) for i in ids] == ICON_IMAGES,
        "view32: the installer's first icon group holds the product's four images")
h.check([group[6 + 14 * i] for i in range(4)] == [16, 32, 48, 0],
        "view32: the group names the images' real sizes")
h.check([(t, i, b) for t, i, b in built.resources() if t not in (3, 14)] ==
        [(t, i, b) for t, i, b in plain.resources() if t not in (3, 14)],
        "view32: every other resource of setup.exe is kept byte for byte")
# Windows' own look at the file: the shell's icon and the image LoadImage picks for each size.
_, seen = h.wine(icon_probe, "Z:" + installer32.replace("/", "\\"), "16", "32", "48", "256")
seen = seen.decode("ascii", "replace").split()
for size in (16, 32, 48, 256):
    h.check(f"{size}x{size}" in seen and seen[seen.index(f"{size}x{size}") + 1] == COLOURS[size],
            f"view32: Windows takes the {size}-pixel image of the product's icon ({' '.join(seen)})")
h.check(seen[:2] == ["icons", "1"] and "shell" in seen and
        seen[seen.index("shell") + 2] == COLOURS[32], "view32: the shell shows the product's icon")
status, new = h.run_setup(installer32, "-hp", "/D=C:\\QevTest\\view32")
h.check(status == 0, f"view32: exit code 0 (got {status})")
check_files("view32", "C:\\QevTest\\view32", {"app.exe": PRODUCT["app.exe"]})
h.check("三二.lnk" not in lnk_names(desktop), "view32: no desktop shortcut")
h.check(h.unix_path(programs + "\\QevView32") is None, "view32: empty start-menu folder removed")
h.check("三二.lnk" in lnk_names(quick), f"view32: quick-launch shortcut ({lnk_names(quick)})")

# ---------------------------------------------------------------------------------------------
# The registry of both installs, in one look.
queries = [(UNINSTALL + "QevFull", 64), (UNINSTALL + "QevFull", 32),
           (UNINSTALL + "QevView32", 32), (UNINSTALL + "QevView32", 64),
           (USER_KEY + "\\Full", 64), (USER_KEY + "\\Imported", 64),
           (MACHINE_KEY, 64), (MACHINE_KEY, 32)]
found = registry(queries)


def uninstall_entry(folder, name, version, company):
    return {"DisplayIcon": ("REG_SZ", folder + "\\app.exe"),
            "DisplayName": ("REG_SZ", f"{name} {version}"),
            "DisplayVersion": ("REG_SZ", version),
            "UninstallString": ("REG_SZ", folder + "\\uninst.exe"),
            "InstallLocation": ("REG_SZ", folder),
            "Publisher": ("REG_SZ", company)}


registry_expected = [
    ("full: the Uninstall entry's six values in the 64-bit view",
     uninstall_entry("C:\\QevTest\\full", "QevFull", "1.0", "测试公司")),
    ("full: no Uninstall entry in the 32-bit view", None),
    ("view32: the Uninstall entry's six values in the 32-bit view",
     uninstall_entry("C:\\QevTest\\view32", "QevView32", "3.2", "Qev")),
    ("view32: no Uninstall entry in the 64-bit view", None),
    ("full: REG_SZ, default, REG_BINARY (a zero byte appended) and REG_DWORD values",
     {"Text": ("REG_SZ", "文本 C:\\QevTest\\full"), "": ("REG_SZ", "default value"),
      "Bin": ("REG_BINARY", "01FF7A00"), "Count": ("REG_DWORD", "0x2a")}),
    ("full: the .reg import with SXG(%InstallPath%)",
     {"Path": ("REG_SZ", "C:\\QevTest\\full\\bin")}),
    ("full: the view = 64 record in the 64-bit view", {"Wide": ("REG_SZ", "64")}),
    ("full: the plain record in the 32-bit view", {"Narrow": ("REG_SZ", "32")}),
]
for (label, want), got in zip(registry_expected, found):
    h.check(got == want, f"{label} (got {got})")


# ---------------------------------------------------------------------------------------------
def run_silently(installer, arguments, label, box=None):
    """Runs an installer that must end by itself; returns its exit status, or None when it still
    ran after three minutes, far beyond what a slow machine needs (it is then photographed and
    ended). `box`: the title of a message box the
    run is expected to show, which is photographed and answered with Enter."""
    before = h.temp_snapshot()
    process = h.start(installer, *arguments, cwd=os.path.dirname(installer))
    deadline = time.monotonic() + 180
    answered = False
    while process.poll() is None and time.monotonic() < deadline:
        # The box bears the main window's title: it is there once two windows bear it.
        if box and not answered and display.window_titles().count(box) >= 2:
            display.screenshot(os.path.join(work, label + ".png"))
            answered = display.answer_box(box)
        time.sleep(0.3)
    status = process.poll()
    if status is None:
        shot = os.path.join(work, label + "-stuck.png")
        display.screenshot(shot)
        h.check(False, f"{label}: the run still waits after three minutes ({display.window_titles()}, {shot})")
        h.stop(process)
    if box:
        h.check(answered, f"{label}: a message box titled {box} was shown and answered")
    h.wait_server()
    h.temp_new(before)
    return status


# Refused directories: a bare drive root, and no directory at all (no default, no previous one).
refusing = r"""[product]
name = QevRefuse
version = 1
switch_path = /D=
previous_location = no
[package]
mode = appended
"""
installer_r, _, _ = h.package("refuse", refusing, {"qev_refused.exe": b"MZ"})
# A background install shows no box: the refusal is its answer, with the directory code.
for label, arguments in (("refused", ["-hp", "/D=C:\\"]), ("empty", ["-hp"])):
    status = run_silently(installer_r, arguments, label)
    h.check(status == 2, f"{label} directory: exit code 2 (got {status})")
h.check(h.unix_path("C:\\qev_refused.exe") is None, "refused directory: nothing installed")

# An altered archive signature is repaired; a damaged data archive fails the run.
altered = r"""[product]
name = QevAltered
version = 1
switch_path = /D=
[package]
mode = appended
alter_data_signature = yes
"""
big = {"app.exe": PRODUCT["app.exe"], "noise.bin": bytes(noise.getrandbits(8) for _ in range(200_000))}
installer_a, _, _ = h.package("altered", altered, big)
status, _ = h.run_setup(installer_a, "-hp", "/D=C:\\QevTest\\altered")
h.check(status == 0, f"altered signature: exit code 0 (got {status})")
check_files("altered signature", "C:\\QevTest\\altered", big)
data = bytearray(open(installer_a, "rb").read())
start = data.find(marker("QEV-mark=7zipdataA"))
if h.check(start > 0, "corrupt: the data block is found in the installer"):
    middle = start + 19 + 100_000
    data[middle:middle + 4096] = bytes(4096)
    corrupt = os.path.join(os.path.dirname(installer_a), "corrupt-setup.exe")
    open(corrupt, "wb").write(bytes(data))
    status = run_silently(corrupt, ["-hp", "/D=C:\\QevTest\\corrupt"], "corrupt")
    h.check(status not in (0, None), f"corrupt data archive: non-zero exit code (got {status})")

# Test mode: the configuration beside the program, nothing installed, nothing written.
test_folder = os.path.join(work, "testmode")
os.makedirs(test_folder, exist_ok=True)
shutil.copyfile(setup, os.path.join(test_folder, "setup.exe"))
with open(os.path.join(test_folder, "data.ini"), "wb") as f:
    f.write("[墨桐软件安装配置]\r\n墨桐软件名称=QevTestMode\r\n软件版本=1\r\n安装模式=后台安装\r\n"
            "安装位置=C:\\QevTest\\testmode\r\n是否生成卸载程序=1\r\n".encode("gbk"))
listing = sorted(os.listdir(test_folder))
status = run_silently(os.path.join(test_folder, "setup.exe"), ["test"], "testmode")
h.check(status == 0, f"test mode: exit code 0 (got {status})")
h.check(h.unix_path("C:\\QevTest\\testmode") is None, "test mode: nothing installed")
h.check(sorted(os.listdir(test_folder)) == listing, "test mode: nothing written beside the program")
h.check(registry([(UNINSTALL + "QevTestMode", 64), (UNINSTALL + "QevTestMode", 32)]) == [None, None],
        "test mode: no Uninstall entry")

forget_installs()
remove_shortcuts()
h.clean_temp()
display.close()
sys.exit(h.exit_code())
