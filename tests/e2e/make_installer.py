#!/usr/bin/env python3
"""Makes an installer for the tests: setup.exe followed by the mode record "qev-1", the
configuration block (a 7z made by 7zz, password = MD5 of the KEY text, first two bytes altered)
and, optionally, the data block (a 7z of a product folder)."""
import hashlib
import os
import subprocess
import sys
import tempfile

KEY_TEXT = b"486"


def marker(text):
    return text.encode("gbk") + b"\x01"


def seven_zip(folder, password=None):
    """A 7z archive of everything in `folder`, as bytes."""
    with tempfile.TemporaryDirectory() as work:
        archive = os.path.join(work, "a.7z")
        command = ["7zz", "a", "-bd", "-bso0", "-bsp0", archive, "*"]
        if password:
            command.insert(2, "-p" + password)
        subprocess.run(command, cwd=folder, check=True)
        with open(archive, "rb") as f:
            return f.read()


def make_installer(setup, config_folder, product_folder, output):
    with open(setup, "rb") as f:
        image = f.read()
    config = bytearray(seven_zip(config_folder, hashlib.md5(KEY_TEXT).hexdigest()))
    config[0:2] = b"QE"  # the installer repairs the signature itself
    parts = [image, b"\0", marker("QEV-mark=配置包A"), b"qev-1", marker("QEV-mark=配置包B"),
             b"\0", marker("QEV-mark=配置包sA"), bytes(config), marker("QEV-mark=配置包sB")]
    if product_folder:
        parts += [b"\0", marker("QEV-mark=7zipdataA"), seven_zip(product_folder),
                  marker("QEV-mark=7zipdataB")]
    with open(output, "wb") as f:
        f.write(b"".join(parts))


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: make_installer.py SETUP.EXE CONFIG-FOLDER [PRODUCT-FOLDER] OUTPUT")
    args = sys.argv[1:]
    make_installer(args[0], args[1], args[2] if len(args) == 4 else None, args[-1])
