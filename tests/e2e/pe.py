"""Reads what the tests need from a PE file: machine, subsystem, imported DLLs and resources."""
import struct


class PE:
    def __init__(self, data: bytes):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        off = struct.unpack_from("<I", data, 0x3C)[0]
        if data[off:off + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsec, _, _, _, opt_size, self.characteristics = struct.unpack_from("<HHIIIHH", data, off + 4)
        opt = off + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.import_rva = struct.unpack_from("<I", data, dirs + 1 * 8)[0]
        self.res_rva, self.res_size = struct.unpack_from("<II", data, dirs + 2 * 8)
        self.sections = []
        sec = opt + opt_size
        for i in range(nsec):
            name, vsize, va, rsize, rptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0"), va, max(vsize, rsize), rptr, rsize))

    def rva_to_offset(self, rva):
        for _, va, size, rptr, rsize in self.sections:
            if va <= rva < va + size:
                return rva - va + rptr
        raise ValueError("rva outside sections")

    def imported_dlls(self):
        """Names of the DLLs the loader must find before the program runs, in lower case."""
        names = []
        if not self.import_rva:
            return names
        at = self.rva_to_offset(self.import_rva)
        while True:
            lookup, _, _, name_rva, thunks = struct.unpack_from("<IIIII", self.data, at)
            if not (lookup or name_rva or thunks):
                return names
            start = self.rva_to_offset(name_rva)
            names.append(self.data[start:self.data.index(b"\0", start)].decode("ascii").lower())
            at += 20

    def _name(self, base, entry_name):
        if entry_name & 0x80000000:
            p = base + (entry_name & 0x7FFFFFFF)
            n = struct.unpack_from("<H", self.data, p)[0]
            return self.data[p + 2:p + 2 + 2 * n].decode("utf-16-le")
        return entry_name

    def _entries(self, base, off):
        named, ids = struct.unpack_from("<HH", self.data, off + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, off + 16 + 8 * i)
            yield self._name(base, name), target

    def resources(self):
        """Yields (type, id, bytes) for every resource, types and ids as int or upper-case str."""
        if not self.res_rva:
            return
        base = self.rva_to_offset(self.res_rva)
        for rtype, t1 in self._entries(base, base):
            for rid, t2 in self._entries(base, base + (t1 & 0x7FFFFFFF)):
                for _, t3 in self._entries(base, base + (t2 & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.data, base + t3)
                    start = self.rva_to_offset(rva)
                    yield rtype, rid, self.data[start:start + size]

    def resource(self, rtype, rid):
        for t, i, b in self.resources():
            if t == rtype and i == rid:
                return b
        return None
