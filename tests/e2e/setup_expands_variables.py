#!/usr/bin/env python3
"""setup.exe under Wine expands the variable table into the unpacked "data.ini": every built-in
token becomes the prefix's real folder, environment or registry value (as cmd and reg report them),
a publisher's variable its value (expanded further by the built-in tokens that follow it), and
"%InstallPath%", "%AC%", "%ET%" stay for the install run.
Usage: setup_expands_variables.py QEVPACK SETUP.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import sys

from qevtest import Display, Harness, config_folders, read_ini

qevpack, setup, run_sh, prefix, work = sys.argv[1:6]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()

PRODUCT = "变量测试"
UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT
LAST_PATH = "c:\\OldPlace\\变量测试\\"  # read as it is stored: no normalisation
TOKENS = ["ProductName", "Version", "CompanyCopyright", "MainExe", "ProgramFiles",
          "ProgramFiles_x86", "TempDir", "WindowsDir", "System32", "SysWoW64", "FONTS", "MenuDir",
          "Desktop", "AppData", "MyDocument", "QuickLaunch", "UserProfile", "LastInPath",
          "InstallPath", "AC", "ET", "MyVar"]

description = f"""[product]
name = {PRODUCT}
version = 2.5
company = 测试公司
main_program = bin\\app.exe
[package]
mode = none
[variables]
MyVar = %Desktop%\\子目录
"""
given_data_ini = "[变量]\n" + "".join(f"{t}=%{t}%\n" for t in TOKENS) + \
    "Twice=%Version%-%Version%\nLater=%InstallPath%\\%MainExe%\n"
installer, _, _ = h.package("variables", description, {"readme.txt": b"x"},
                            config={"data.ini": given_data_ini.encode("utf-8")})


def normalised(path):
    path = path[:1].upper() + path[1:]
    return path[:-1] if path.endswith("\\") else path


# The previous install location, in the view a 64-bit program reads; then the environment as the
# installer sees it (a 32-bit process gets "Program Files (x86)").
h.wine("reg", "add", UNINSTALL_KEY, "/v", "InstallLocation", "/d", LAST_PATH, "/f", "/reg:64")
env = {}
for line in h.cmd_lines("echo PF=%ProgramFiles%& echo TMP=%TMP%& echo WIN=%windir%& "
                        "echo UP=%USERPROFILE%", as_product=True):
    if "=" in line:
        key, value = line.split("=", 1)
        env[key] = value.strip()
shown, new = h.run_to_wizard(installer, PRODUCT + "2.5-安装向导")
h.check(shown, "the wizard is shown once the package is unpacked")
folders = h.reg_values("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")
h.wine("reg", "delete", UNINSTALL_KEY, "/f", "/reg:64")

configs = config_folders(new)
h.check(len(configs) == 1, "one fresh configuration folder")
got = {}
if configs:
    with open(os.path.join(configs[0], "data.ini"), "rb") as f:
        got = read_ini(f.read()).get("变量", {})

windows = normalised(env.get("WIN", "?"))
folder = {name: normalised(folders.get(name, ("", "?"))[1])
          for name in ("Programs", "Desktop", "AppData", "Personal")}
expected = {
    "ProductName": PRODUCT,
    "Version": "2.5",
    "CompanyCopyright": "测试公司",
    "MainExe": "bin\\app.exe",
    "ProgramFiles": env.get("PF", "?").replace(" (x86)", ""),
    "ProgramFiles_x86": env.get("PF", "?"),
    "TempDir": normalised(env.get("TMP", "?")),
    "WindowsDir": windows,
    "System32": windows + "\\System32",
    "SysWoW64": windows + "\\SysWoW64",
    "FONTS": windows + "\\Fonts",
    "MenuDir": folder["Programs"],
    "Desktop": folder["Desktop"],
    "AppData": folder["AppData"],
    "MyDocument": folder["Personal"],
    "QuickLaunch": env.get("UP", "?") + "\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch",
    "UserProfile": env.get("UP", "?"),
    "LastInPath": LAST_PATH,
    "InstallPath": "%InstallPath%",
    "AC": "%AC%",
    "ET": "%ET%",
    # The publisher's variable comes before the built-in ones, which expand what it brought in.
    "MyVar": folder["Desktop"] + "\\子目录",
    "Twice": "2.5-2.5",
    "Later": "%InstallPath%\\bin\\app.exe",
}
for key, value in expected.items():
    h.check(got.get(key) == value, f"{key} = {got.get(key)!r} (expected {value!r})")
# The folders are real folders of the prefix, not texts from nowhere.
for key in ("TempDir", "WindowsDir", "System32", "Desktop", "AppData", "MyDocument", "UserProfile"):
    h.check(h.unix_path(got.get(key, "")) is not None, f"%{key}% names an existing folder")
h.clean_temp()
display.close()
sys.exit(h.exit_code())
