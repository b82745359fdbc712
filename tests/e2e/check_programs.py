"""The built programs are 32-bit GUI programs with manifest, and setup carries its resources."""
import os
import sys

from pe import PE

bindir = sys.argv[1]
failed = 0
passed = 0


def check(cond, what):
    global failed, passed
    print(("ok   " if cond else "FAIL ") + what)
    if cond:
        passed += 1
    else:
        failed += 1


setup_bytes = open(os.path.join(bindir, "setup.exe"), "rb").read()
uninst_bytes = open(os.path.join(bindir, "uninst.exe"), "rb").read()
for name, data in (("setup.exe", setup_bytes), ("uninst.exe", uninst_bytes)):
    pe = PE(data)
    check(pe.machine == 0x14C and pe.magic == 0x10B, f"{name} is PE32 i386")
    check(pe.subsystem == 2, f"{name} is a GUI program")
    manifest = pe.resource(24, 1)
    check(manifest is not None and b"Microsoft.Windows.Common-Controls" in manifest
          and b"dpiAware" in manifest and b"requestedExecutionLevel" in manifest,
          f"{name} has a manifest with common controls v6, DPI awareness and execution level")

# Only what every Windows has may be loaded with the programs: a missing DLL stops them before
# their first line, and one found beside a downloaded setup.exe would be loaded in its place. The
# common controls are not among them either: the first window loads them (a background install
# shows none).
system_dlls = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "ole32.dll", "oleaut32.dll", "msvcrt.dll"}
dll_path = os.path.join(bindir, "7-zip32.dll")
for name in ("setup.exe", "uninst.exe", "7-zip32.dll"):
    path = os.path.join(bindir, name)
    if not os.path.exists(path):
        continue
    imported = PE(open(path, "rb").read()).imported_dlls()
    extra = sorted(set(imported) - system_dlls)
    check(bool(imported) and not extra,
          f"{name} loads only system DLLs at start (others: {', '.join(extra) or 'none'})")

setup = PE(setup_bytes)
check(setup.resource("UNINST_DAT", 100) == uninst_bytes, "setup.exe carries uninst.exe as UNINST_DAT/100")
check(setup.resource("KEY", 250) == b"486", "setup.exe carries KEY/250 = \"486\"")
# Its icon (the file's icon in Explorer, and the one its windows show): group 1 with the sizes
# Windows asks for, each image stored.
group = setup.resource(14, 1)
sizes = []
if group and len(group) >= 6:
    for i in range(int.from_bytes(group[4:6], "little")):
        entry = group[6 + 14 * i: 20 + 14 * i]
        sizes.append(entry[0] or 256)
        check(setup.resource(3, int.from_bytes(entry[12:14], "little")) is not None,
              f"setup.exe carries the {entry[0] or 256}-pixel image of its icon")
check({16, 32, 48} <= set(sizes), f"setup.exe has an icon of 16, 32 and 48 pixels (got {sizes})")
if os.path.exists(dll_path):
    check(setup.resource("ARCHIVE_DLL", 100) == open(dll_path, "rb").read(),
          "setup.exe carries 7-zip32.dll as ARCHIVE_DLL/100")
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
