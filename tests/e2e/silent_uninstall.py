#!/usr/bin/env python3
"""The silent round trip under Wine, checked from outside: an installer made by the package builder
installs silently (`setup.exe -hp /D=...`), then "uninst.exe -hp" in the install folder uninstalls
silently. The launcher waits and ends with the uninstaller's exit code; the product's files, its
shortcuts, the Uninstall entry and every registry value marked for removal are gone, values
without the mark remain, the keys the install made are removed once empty (a key that was there
before stays), and so are the keys a .reg import made, with the values it set in them (keys the
import found keep what it set there), files and folders named outside GBK go like the others,
the install folder is removed (or kept with only the user's own file), and nothing is left in the
temporary folder, also when that folder's name is outside GBK.
Usage: silent_uninstall.py QEVPACK SETUP.EXE RUN.SH PREFIX WORK-FOLDER"""
import glob
import os
import shutil
import sys

from qevtest import WINE_ARCH, Display, Harness

qevpack, setup, run_sh, prefix, work = sys.argv[1:6]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()
root = h.unix_path("C:\\")
shutil.rmtree(os.path.join(root, "QevUninst"), ignore_errors=True)
USER_KEY = "HKCU\\Software\\QevUninstallTest"
MADE_KEY = "HKCU\\Software\\QevUninstallMade"      # made by the install, emptied by the removal
FOUND_KEY = "HKCU\\Software\\QevUninstallFound"    # there before the install, emptied as well
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QevRound"
IMPORTED = "HKCU\\Software\\QevUninstallImported"         # made by the .reg import
IMPORT_FOUND = "HKCU\\Software\\QevUninstallImportFound"  # there before; the import adds to it
IMPORTED_MACHINE = "HKLM\\SOFTWARE\\QevUninstallImported"  # in the view of the editor's width
EDITOR_VIEW = 32 if WINE_ARCH == "wow64" else 64

PRODUCT = {
    "app.exe": b"MZ app" * 1000,
    "readme.txt": "说明\r\n".encode("gbk"),
    "中文目录/数据.dat": bytes(range(256)) * 16,
    "docs/deep/more.txt": b"more",
    "empty.txt": b"",
    "Straße.txt": b"outside GBK",
    "âb/Ω文.txt": b"in a folder outside GBK",
}
description = r"""[product]
name = QevRound
version = 1.0
company = 测试公司
main_program = app.exe
install_dir = C:\QevUninst\wrong
switch_path = /D=

[shortcut]
name = 应用
target = app.exe
location = %Desktop%,%MenuDir%\QevRound
remove_on_uninstall = yes
[shortcut]
name = 卸载 QevRound
target = %Uninst.exe%
location = %MenuDir%\QevRound
remove_on_uninstall = yes

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

[registry]
path = HKEY_CURRENT_USER\Software\QevUninstallTest
name = Removed
data = %InstallPath%
remove_on_uninstall = yes
[registry]
path = HKEY_CURRENT_USER\Software\QevUninstallTest
name = Kept
data = stays
[registry]
path = HKEY_CURRENT_USER\Software\QevUninstallTest
name = Count
type = REG_DWORD
data = 7
remove_on_uninstall = yes
[registry]
path = HKEY_CURRENT_USER\Software\QevUninstallMade\Deep\Er
name = Removed
data = 1
remove_on_uninstall = yes
[registry]
path = HKEY_CURRENT_USER\Software\QevUninstallFound
name = Removed
data = 1
remove_on_uninstall = yes
[registry]
type = file
file = import.reg
"""
# As the Registry Editor saves a file: UTF-16 with its byte-order mark.
IMPORT_REG = ("Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\QevUninstallImported\\深层]\r\n"
              "@=\"默认\"\r\n\"Path\"=\"C:\\\\QevUninst\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\QevUninstallImportFound]\r\n"
              "\"ImportedHere\"=\"stays\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\QevUninstallImportFound\\Imported]\r\n"
              "\"Made\"=dword:00000001\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QevUninstallImported]\r\n"
              "\"View\"=\"editor\"\r\n").encode("utf-16")
installer, _, _ = h.package("round", description, PRODUCT, extra={"import.reg": IMPORT_REG})
launcher_copy = os.path.join(work, "uninst.exe")


def forget():
    h.wine("cmd", "/c", f"reg delete {USER_KEY} /f >nul 2>nul & reg delete {UNINSTALL} /f /reg:32 "
                        f">nul 2>nul & reg delete {UNINSTALL} /f /reg:64 >nul 2>nul & "
                        f"reg delete {MADE_KEY} /f >nul 2>nul & reg delete {FOUND_KEY} /f >nul 2>nul & "
                        f"reg delete {IMPORTED} /f >nul 2>nul & reg delete {IMPORT_FOUND} /f >nul 2>nul & "
                        f"reg delete {IMPORTED_MACHINE} /f /reg:32 >nul 2>nul & "
                        f"reg delete {IMPORTED_MACHINE} /f /reg:64 >nul 2>nul")


def key_exists(key, view=None):
    return h.wine("reg", "query", key, *([f"/reg:{view}"] if view else []))[0] == 0


def imported_keys():
    """Which keys of the .reg import exist, looked at in one wine start: its own key and the parent
    it made, the key it adds to a found one, its machine key in the editor's view and in the
    other view."""
    queries = [(IMPORTED + "\\深层", ""), (IMPORTED, ""), (IMPORT_FOUND + "\\Imported", ""),
               (IMPORTED_MACHINE, f"/reg:{EDITOR_VIEW}"), (IMPORTED_MACHINE, f"/reg:{96 - EDITOR_VIEW}")]
    # A key that exists is listed under its own name; a missing one prints nothing but its error.
    lines = h.cmd_lines(" & ".join(f'reg query {k} {v} 2>nul & echo qev-next' for k, v in queries))
    found, listed = [], False
    for line in lines:
        if line == "qev-next":
            found.append(listed)
            listed = False
        listed = listed or line.startswith("HKEY_")
    return found


def links():
    """The .lnk files of the product on the desktop and in its start-menu folder."""
    found = []
    for pattern in ["users/*/Desktop", "users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/QevRound",
                    "users/*/Start Menu/Programs/QevRound"]:
        for folder in glob.glob(os.path.join(root, pattern)):
            found += [os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".lnk")]
    return found


def with_temp(temp, command):
    """Runs a command line with the temporary folder `temp` (Windows path): (exit status, output)."""
    return h.wine("cmd", "/c", f"set TEMP={temp}&& set TMP={temp}&& {command}", timeout=240, utf8=True)


def round_trip(label, folder, user_file=None, temp=None):
    """temp: the temporary folder of both runs, as a user's own whose name GBK lacks."""
    forget()
    # An empty key (made as the parent of a subkey, since "reg add" gives a key a default value).
    h.wine("cmd", "/c", f"reg add {FOUND_KEY}\\Sub /f >nul & reg delete {FOUND_KEY}\\Sub /f >nul & "
                        f"reg add {IMPORT_FOUND} /v Mine /d user /f >nul")
    if temp:
        os.makedirs(os.path.join(root, *temp[3:].split("\\")), exist_ok=True)
        status, _ = with_temp(temp, f"Z:{installer.replace('/', chr(92))} -hp /D={folder}")
    else:
        status, _ = h.run_setup(installer, "-hp", f"/D={folder}")
    unix = h.unix_path(folder)
    h.check(status == 0 and unix is not None, f"{label}: installed (exit {status})")
    if unix is None:
        return
    h.check(os.path.isfile(os.path.join(unix, "uninst.exe")) and
            os.path.isfile(os.path.join(unix, "uninst.dat")), f"{label}: uninst.exe and uninst.dat written")
    h.check(len(links()) == 3, f"{label}: three links made ({links()})")
    entry = h.reg_values(UNINSTALL, 32)
    h.check(entry.get("UninstallString", ("", ""))[1].lower() == (folder + "\\uninst.exe").lower(),
            f"{label}: the Uninstall entry starts uninst.exe ({entry.get('UninstallString')})")
    h.check(imported_keys() == [True, True, True, True, False],
            f"{label}: the .reg import wrote its keys, in the editor's view ({imported_keys()})")
    shutil.copy(os.path.join(unix, "uninst.exe"), launcher_copy)
    if user_file:
        with open(os.path.join(unix, user_file), "wb") as f:
            f.write(b"the user's own notes")
    h.clean_temp()
    before = h.temp_snapshot()
    if temp:
        status, _ = with_temp(temp, folder + "\\uninst.exe -hp")
        left = os.listdir(h.unix_path(temp))
        h.check(left == [], f"{label}: nothing left in the temporary folder outside GBK ({left})")
    else:
        # The log switch quoted whole with a space, as a program that quotes its arguments passes
        # it, in a folder not there yet: the launcher hands it on whole.
        log = os.path.join(root, "QevUninst", "un logs", "u.log")
        if os.path.exists(log):
            os.remove(log)
        status, _ = h.wine(folder + "\\uninst.exe", "-hp", "/LOG=C:\\QevUninst\\un logs\\u.log",
                           timeout=240)
        text = open(log, encoding="utf-8").read() if os.path.isfile(log) else ""
        h.check("卸载完成 (退出代码 0)" in text, f"{label}: the log named with a space is written ({text[-80:]!r})")
    new = h.temp_new(before)
    h.check(status == 0, f"{label}: uninst.exe -hp ends with the uninstaller's exit code 0 (got {status})")
    remaining = sorted(os.listdir(unix)) if os.path.isdir(unix) else None
    if user_file:
        h.check(remaining == [user_file], f"{label}: the folder keeps only the user's file ({remaining})")
    else:
        h.check(remaining is None, f"{label}: the install folder is removed ({remaining})")
    h.check(links() == [], f"{label}: every link removed ({links()})")
    menus = glob.glob(os.path.join(root, "users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/QevRound"))
    h.check(menus == [], f"{label}: the start-menu folder is removed ({menus})")
    h.check(h.reg_values(UNINSTALL, 32) == {} and h.reg_values(UNINSTALL, 64) == {},
            f"{label}: the Uninstall entry is gone in both views")
    values = h.reg_values(USER_KEY)
    h.check(set(values) == {"Kept"}, f"{label}: marked values gone, the unmarked one stays ({sorted(values)})")
    h.check(not key_exists(MADE_KEY), f"{label}: the keys the install made are gone once empty")
    h.check(key_exists(FOUND_KEY) and h.reg_values(FOUND_KEY) == {},
            f"{label}: an emptied key that was there before the install stays")
    h.check(imported_keys() == [False] * 5,
            f"{label}: the keys the .reg import made are gone ({imported_keys()})")
    found = h.reg_values(IMPORT_FOUND)
    h.check(set(found) == {"Mine", "ImportedHere"},
            f"{label}: a key the import found stays with what it held and what it got ({sorted(found)})")
    h.check(new == [], f"{label}: nothing left in the temporary folder ({new})")
    h.clean_temp()


round_trip("empty folder", "C:\\QevUninst\\Round")
round_trip("user file", "C:\\QevUninst\\Kept", user_file="我的笔记.txt")
# A user whose name GBK cannot hold: the installer, the launcher and the uninstaller work in a
# temporary folder outside GBK.
round_trip("temporary folder outside GBK", "C:\\QevUninst\\Temp", temp="C:\\QevUninst\\Jörg\\Temp")

# A product whose configuration says no uninstaller gets none, and no Uninstall entry either.
forget()
plain, _, _ = h.package("plain", description.replace("switch_path = /D=", "switch_path = /D=\nuninstaller = no"),
                        PRODUCT, extra={"import.reg": IMPORT_REG})
status, _ = h.run_setup(plain, "-hp", "/D=C:\\QevUninst\\Plain")
unix = h.unix_path("C:\\QevUninst\\Plain")
h.check(status == 0 and unix is not None and not os.path.exists(os.path.join(unix, "uninst.exe"))
        and not os.path.exists(os.path.join(unix, "uninst.dat")),
        f"no uninstaller: installed without uninst.exe and uninst.dat (exit {status})")
h.check(h.reg_values(UNINSTALL, 32) == {} and h.reg_values(UNINSTALL, 64) == {},
        "no uninstaller: no Uninstall entry")
h.clean_temp()
forget()

# A launcher beside no uninst.dat: a script gets the exit code instead of a message box.
lonely = os.path.join(root, "QevUninst", "Lonely")
os.makedirs(lonely, exist_ok=True)
shutil.copy(launcher_copy, os.path.join(lonely, "uninst.exe"))
before = h.temp_snapshot()
status, _ = h.wine("C:\\QevUninst\\Lonely\\uninst.exe", "-hp")
h.check(status == 20, f"launcher without uninst.dat: exit code 20 (got {status})")
h.temp_new(before)
h.clean_temp()
forget()
shutil.rmtree(os.path.join(root, "QevUninst"), ignore_errors=True)
display.close()
sys.exit(h.exit_code())
