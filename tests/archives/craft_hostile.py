#!/usr/bin/env python3
"""Makes 7z archives whose member names try to leave the output folder. 7zz refuses to store
such names, so an archive is made with placeholder names of the same length and an uncompressed
header (-mhc=off), the UTF-16LE names are replaced in place, and both header CRCs are fixed.
Usage: craft_hostile.py SEVEN_ZIP OUT_DIR; writes hostile_<label>.7z files."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

seven_zip, out = sys.argv[1], sys.argv[2]
PLACEHOLDER = "zzzzzzzzzzzzzzzz"  # 16 characters; every hostile name is padded to this length

HOSTILE = {
    "dotdot": "../../escape.txt",
    "inner_dotdot": "a/../../up12.txt",
    "absolute": "/tmp/qev_abs.txt",
    "backslash_abs": "\\tmp\\qev_abs.txt",
    "drive": "C:/qev_drive.txt",
    "drive_relative": "C:qev_drive2.txt",
    "colon_stream": "ok.txt:stream1xx",
    "unc": "\\\\srv\\share\\x.tx",
    "long_prefix": "\\\\?\\C:\\qev_xy.tx",
    "empty_part": "a//qev_empty.txt",
    "device": "docs/CON.txt....",
}


# Names that leave nothing but are no valid UTF-16 (an unpaired surrogate): invalid_<label>.7z.
INVALID = {
    "surrogate": "lonely\ud800surrogate",
}

# Names the in-place replacement cannot make, because their length differs: the whole name
# property is written anew (the header then changes size).
RENAMED = {
    "empty_name": "",
}


def fix_crcs(data):
    off, size, _ = struct.unpack("<QQI", data[12:32])
    header = data[32 + off:32 + off + size]
    data[28:32] = struct.pack("<I", zlib.crc32(header) & 0xFFFFFFFF)
    data[8:12] = struct.pack("<I", zlib.crc32(bytes(data[12:32])) & 0xFFFFFFFF)


os.makedirs(out, exist_ok=True)
with tempfile.TemporaryDirectory() as work:
    with open(os.path.join(work, "ok.txt"), "wb") as f:
        f.write(b"harmless\n")
    with open(os.path.join(work, PLACEHOLDER), "wb") as f:
        f.write(b"this file must never be written\n")
    template = os.path.join(work, "template.7z")
    subprocess.run([seven_zip, "a", "-bd", "-mhc=off", "-mx=1", template, "ok.txt", PLACEHOLDER],
                   cwd=work, check=True, stdout=subprocess.DEVNULL)
    base = bytearray(open(template, "rb").read())
    needle = PLACEHOLDER.encode("utf-16-le")
    for label, name in HOSTILE.items():
        assert len(name) == len(PLACEHOLDER), label
        data = bytearray(base)
        at = data.find(needle)
        assert at > 0, "placeholder not found"
        data[at:at + len(needle)] = name.encode("utf-16-le")
        fix_crcs(data)
        with open(os.path.join(out, "hostile_%s.7z" % label), "wb") as f:
            f.write(data)
    for label, name in INVALID.items():
        assert len(name) == len(PLACEHOLDER), label
        data = bytearray(base)
        at = data.find(needle)
        data[at:at + len(needle)] = name.encode("utf-16-le", "surrogatepass")
        fix_crcs(data)
        with open(os.path.join(out, "invalid_%s.7z" % label), "wb") as f:
            f.write(data)
    # The name property: kName (0x11), its size (one byte below 0x80), external 0, the names.
    names = ("ok.txt\0" + PLACEHOLDER + "\0").encode("utf-16-le")
    prop = bytes([0x11, len(names) + 1, 0]) + names
    at = base.find(prop)
    assert at > 0, "name property not found"
    for label, name in RENAMED.items():
        names = ("ok.txt\0" + name + "\0").encode("utf-16-le")
        data = base[:at] + bytes([0x11, len(names) + 1, 0]) + names + base[at + len(prop):]
        off, size, _ = struct.unpack("<QQI", data[12:32])
        data[12:28] = struct.pack("<QQ", off, size - (len(prop) - len(names) - 3))
        fix_crcs(data)
        with open(os.path.join(out, "hostile_%s.7z" % label), "wb") as f:
            f.write(data)
