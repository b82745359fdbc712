#!/usr/bin/env python3
# Regenerates the decoder fixtures: sample inputs packed by real 7-Zip (7zz) with one method and no
# compression of the header, the packed streams of each archive cut out, and cases.txt naming for
# every case the method, properties, output size, expected output file and input stream files.
import os, random, struct, subprocess, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))


def make_code(path, size, seed):
    """Bytes full of branch instructions of every architecture the filters know."""
    r = random.Random(seed)
    out = bytearray()
    while len(out) < size:
        k = r.randrange(14)
        if k == 0: out += bytes([0xE8]) + struct.pack('<i', r.randrange(-60000, 60000))
        elif k == 1: out += bytes([0xE9]) + struct.pack('<i', r.randrange(-6000, 6000))
        elif k == 2: out += bytes([0x0F, 0x80 | r.randrange(16)]) + struct.pack('<i', r.randrange(-3000, 3000))
        elif k == 3: out += struct.pack('<I', r.getrandbits(24) | 0xEB000000)
        elif k == 4: out += struct.pack('<I', 0x94000000 | r.getrandbits(26))
        elif k == 5: out += struct.pack('<I', 0x90000000 | (r.getrandbits(2) << 29) | (r.getrandbits(19) << 5) | r.getrandbits(5))
        elif k == 6: out += struct.pack('>I', 0x48000001 | (r.getrandbits(24) << 2))
        elif k == 7: out += struct.pack('>I', 0x40000000 | r.getrandbits(22))
        elif k == 8: out += bytes([r.getrandbits(8), 0xF0 | r.getrandbits(3), r.getrandbits(8), 0xF8 | r.getrandbits(3)])
        elif k == 9: out += struct.pack('<I', 0xEF | (r.choice([1, 5]) << 7) | (r.getrandbits(20) << 12))
        elif k == 10:
            rd = r.choice([1, 5, 10, 11, 15])
            out += struct.pack('<I', 0x17 | (rd << 7) | (r.getrandbits(20) << 12))
            out += struct.pack('<I', 0x13 | (r.getrandbits(5) << 7) | (rd << 15) | (r.getrandbits(12) << 20))
        elif k == 11:
            b = bytearray(r.getrandbits(8) for _ in range(16))
            b[0] = (b[0] & 0xE0) | r.choice([0x10, 0x12, 0x16, 0x18, 0x1C])
            v = int.from_bytes(b, 'little')
            for slot in range(3):
                pos = 5 + 41 * slot
                ins = (v >> pos) & ((1 << 41) - 1)
                ins = (ins & ~(0xF << 37) & ~(7 << 9)) | (5 << 37)
                v = (v & ~(((1 << 41) - 1) << pos)) | (ins << pos)
            out += v.to_bytes(16, 'little')
        else:
            out += bytes(r.getrandbits(8) for _ in range(r.randrange(1, 12)))
    with open(path, 'wb') as f:
        f.write(out[:size])


def make_text(path, size, seed):
    """Text-like bytes: words from a small vocabulary, some GBK, some noise."""
    r = random.Random(seed)
    words = ['安装', '程序', 'setup', 'the', 'archive', 'folder', 'value', 'of', 'and', '\r\n',
             'install', 'file', 'name', '文件', '0123', 'window']
    out = bytearray()
    while len(out) < size:
        if r.random() < 0.02:
            out += bytes(r.getrandbits(8) for _ in range(r.randrange(1, 6)))
        else:
            out += (r.choice(words) + ' ').encode('gbk')
    with open(path, 'wb') as f:
        f.write(out[:size])


def make_runs(path, size, seed):
    """Runs of one byte (1 to 600 long) between stretches of text: exercises run-length steps."""
    r = random.Random(seed)
    out = bytearray()
    while len(out) < size:
        if r.random() < 0.5:
            out += bytes([r.getrandbits(8)]) * r.randrange(1, 600)
        else:
            out += ('%d run %x ' % (len(out), r.getrandbits(16))).encode()
    with open(path, 'wb') as f:
        f.write(out[:size])


class Cursor:
    def __init__(self, b): self.b, self.p = b, 0
    def byte(self):
        v = self.b[self.p]; self.p += 1; return v
    def take(self, n):
        v = self.b[self.p:self.p + n]; self.p += n; return v
    def number(self):
        first = self.byte(); mask = 0x80; value = 0
        for i in range(8):
            if first & mask == 0:
                return value | ((first & (mask - 1)) << (8 * i))
            value |= self.byte() << (8 * i); mask >>= 1
        return value


def parse(archive):
    """The pack streams and the coders of the only folder of a plain-header archive."""
    data = open(archive, 'rb').read()
    off, size = struct.unpack_from('<QQ', data, 12)
    c = Cursor(data[32 + off:32 + off + size])
    assert c.byte() == 0x01 and c.byte() == 0x04 and c.byte() == 0x06
    pack_pos = c.number(); n = c.number()
    assert c.byte() == 0x09
    sizes = [c.number() for _ in range(n)]
    while c.byte() != 0x00: pass
    assert c.byte() == 0x07 and c.byte() == 0x0B
    assert c.number() == 1 and c.byte() == 0
    coders = []; total_in = total_out = 0
    for _ in range(c.number()):
        flag = c.byte(); mid = int.from_bytes(c.take(flag & 0x0F), 'big')
        nin, nout = (c.number(), c.number()) if flag & 0x10 else (1, 1)
        props = bytes(c.take(c.number())) if flag & 0x20 else b''
        coders.append(dict(id=mid, nin=nin, nout=nout, props=props, first_in=total_in))
        total_in += nin; total_out += nout
    pairs = [(c.number(), c.number()) for _ in range(total_out - 1)]
    npacked = total_in - len(pairs)
    packed = [c.number() for _ in range(npacked)] if npacked > 1 else \
        [next(i for i in range(total_in) if all(p[0] != i for p in pairs))]
    assert c.byte() == 0x0C
    unpack = [c.number() for _ in range(total_out)]
    streams = []; pos = 32 + pack_pos
    for s in sizes:
        streams.append(data[pos:pos + s]); pos += s
    return coders, packed, streams, unpack


def main():
    lines = []
    tmp = tempfile.mkdtemp()
    make_code(os.path.join(here, 'code.bin'), 20000, 7)
    make_text(os.path.join(here, 'text.bin'), 30000, 11)
    make_runs(os.path.join(here, 'runs.bin'), 250000, 13)

    def case(name, source, switches, coder_index, password=''):
        arc = os.path.join(tmp, name + '.7z')
        cmd = ['7zz', 'a', '-mhc=off', '-mtm=off', '-mtc=off', '-mta=off'] + switches
        if password: cmd.append('-p' + password)
        subprocess.run(cmd + [arc, os.path.join(here, source)], check=True, stdout=subprocess.DEVNULL)
        coders, packed, streams, unpack = parse(arc)
        co = coders[coder_index]
        files = []
        for k in range(co['nin']):
            idx = packed.index(co['first_in'] + k)
            fn = '%s.in%d' % (name, k)
            open(os.path.join(here, fn), 'wb').write(streams[idx])
            files.append(fn)
        out_index = sum(x['nout'] for x in coders[:coder_index])
        lines.append(' '.join([name, '%X' % co['id'], co['props'].hex() or '-', str(unpack[out_index]),
                               source, password or '-'] + files))

    for m in ['BCJ', 'ARM', 'ARMT', 'ARM64', 'PPC', 'IA64', 'SPARC', 'RISCV', 'Delta:4']:
        case(m.lower().replace(':', ''), 'code.bin', ['-m0=' + m], 0)
    case('arm64_offset', 'code.bin', ['-m0=ARM64:4096'], 0)
    case('bcj2', 'code.bin', ['-m0=BCJ2'], 0)
    case('aes', 'code.bin', ['-m0=Copy'], 0, password='Geheimnis密码')
    case('ppmd', 'text.bin', ['-m0=PPMd'], 0)
    case('ppmd_o2_small', 'text.bin', ['-m0=PPMd:o=2:mem=1m'], 0)
    case('ppmd_o32', 'text.bin', ['-m0=PPMd:o=32:mem=2m'], 0)
    case('ppmd_restart', 'code.bin', ['-m0=PPMd:mem=64k:o=16'], 0)
    case('ppmd_restart_text', 'text.bin', ['-m0=PPMd:mem=64k:o=32'], 0)
    case('bzip2', 'text.bin', ['-m0=BZip2'], 0)
    case('bzip2_blocks', 'runs.bin', ['-m0=BZip2:d=100k'], 0)
    case('deflate_runs', 'runs.bin', ['-m0=Deflate', '-mx=9'], 0)
    case('deflate64_runs', 'runs.bin', ['-m0=Deflate64'], 0)
    case('ppmd_runs', 'runs.bin', ['-m0=PPMd:mem=64k:o=4'], 0)
    case('deflate', 'text.bin', ['-m0=Deflate'], 0)
    case('deflate64', 'text.bin', ['-m0=Deflate64'], 0)
    with open(os.path.join(here, 'cases.txt'), 'w') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
