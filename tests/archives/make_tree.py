#!/usr/bin/env python3
"""Writes the product tree the test archives are made of: executables, text, random and
compressible data, empty files and folders, GBK-range Chinese names, nested folders.
Usage: make_tree.py OUT_DIR [PE_FILE...]; the content is the same on every run."""
import os
import random
import shutil
import sys

out = sys.argv[1]
pe_files = sys.argv[2:]
rng = random.Random(20240607)


def write(rel, data):
    path = os.path.join(out, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


os.makedirs(out, exist_ok=True)
os.makedirs(os.path.join(out, "bin"), exist_ok=True)
for pe in pe_files:
    if os.path.isfile(pe):
        shutil.copyfile(pe, os.path.join(out, "bin", os.path.basename(pe)))
if not any(os.path.isfile(p) for p in pe_files):
    # No PE files on this machine: a fake one with x86 call and jump opcodes for the filters.
    body = bytearray(b"MZ" + bytes(0x3E) + b"\x80\0\0\0")
    for i in range(20000):
        body += bytes([0xE8]) + rng.getrandbits(32).to_bytes(4, "little") + bytes([0x90, 0x55, 0x8B, 0xEC])
    write("bin/fake.exe", bytes(body))

words = ["install", "setup", "安装", "程序", "data", "文件", "readme", "config", "组件", "目录"]
text = "\r\n".join(" ".join(rng.choice(words) for _ in range(12)) for _ in range(4000))
write("readme.txt", b"Read me first.\r\n")
write("docs/manual.txt", text.encode("utf-8"))
write("中文目录/说明.txt", "这是一个说明文件。\r\n".encode("gbk") * 50)
write("中文目录/子目录/数据.bin", bytes(rng.getrandbits(8) for _ in range(5000)))
write("data/random.bin", bytes(rng.getrandbits(8) for _ in range(300000)))
write("data/zeros.bin", bytes(600000))
write("data/pattern.bin", bytes((i * 7 + (i >> 9)) & 0xFF for i in range(400000)))
write("data/empty.dat", b"")
write("data/nested/a/b/c/deep.txt", b"deep inside\n")
write("data/nested/a/b/empty_too.txt", b"")
write("Mixed Case/Name With Spaces.TXT", b"spaces in the name\n")
for i in range(40):
    write("many/small_%02d.txt" % i, ("small file %d\n" % i).encode() * (i + 1))
os.makedirs(os.path.join(out, "empty_folder"), exist_ok=True)
os.makedirs(os.path.join(out, "data/nested/empty_leaf"), exist_ok=True)
os.makedirs(os.path.join(out, "空目录"), exist_ok=True)
