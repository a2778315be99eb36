"""Reads what the release checks need from a Windows PE file: the header fields, the import
table and the resources (version and icons). Standard library only."""

import struct
from dataclasses import dataclass

MACHINES = {0x14C: "x86", 0x8664: "x64"}
RT_ICON, RT_VERSION, RT_GROUP_ICON, RT_MANIFEST = 3, 16, 14, 24


class PeError(Exception):
    pass


@dataclass
class Section:
    name: str
    virtual_address: int
    virtual_size: int
    raw_offset: int
    raw_size: int


class PeFile:
    def __init__(self, data: bytes):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, sections, self.timestamp, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        if self.magic not in (0x10B, 0x20B):
            raise PeError(f"unknown optional header magic {self.magic:#x}")
        (self.os_version, self.image_version, self.subsystem_version) = [
            struct.unpack_from("<HH", data, optional + offset) for offset in (40, 44, 48)]
        self.checksum, self.subsystem = struct.unpack_from("<IH", data, optional + 64)
        directories = optional + (96 if self.magic == 0x10B else 112)
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * k)
                            for k in range(count)]
        table = optional + optional_size
        self.sections = []
        for k in range(sections):
            name, vsize, vaddr, rsize, roffset = struct.unpack_from("<8sIIII", data, table + 40 * k)
            self.sections.append(Section(name.rstrip(b"\0").decode("ascii", "replace"), vaddr,
                                         vsize, roffset, rsize))

    @classmethod
    def read(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    @property
    def bits(self):
        return 32 if self.magic == 0x10B else 64

    def offset(self, rva):
        for s in self.sections:
            if s.virtual_address <= rva < s.virtual_address + max(s.virtual_size, s.raw_size):
                return rva - s.virtual_address + s.raw_offset
        raise PeError(f"address {rva:#x} is in no section")

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """{dll name: [function names]}, in file order; ordinals appear as '#N'."""
        rva, size = self.directories[1]
        found = {}
        if not size:
            return found
        position = self.offset(rva)
        thunk_format, ordinal_flag = ("<I", 1 << 31) if self.bits == 32 else ("<Q", 1 << 63)
        thunk_size = struct.calcsize(thunk_format)
        while True:
            lookup, stamp, _, name, first = struct.unpack_from("<IIIII", self.data, position)
            if not (lookup or name or first):
                break
            if stamp:
                raise PeError(f"import descriptor of {self.c_string(name)} is bound")
            functions = found.setdefault(self.c_string(name), [])
            thunk = self.offset(lookup or first)
            while True:
                entry = struct.unpack_from(thunk_format, self.data, thunk)[0]
                if not entry:
                    break
                functions.append(f"#{entry & 0xFFFF}" if entry & ordinal_flag
                                 else self.c_string(entry + 2))
                thunk += thunk_size
            position += 20
        return found

    def resources(self):
        """{(type, name, language): bytes}, numeric identifiers only; and every directory's
        time stamp, for the reproducibility check."""
        rva, size = self.directories[2]
        found, stamps = {}, []
        if not size:
            return found, stamps
        base = self.offset(rva)

        def walk(offset, path):
            _, stamp, _, _, named, numbered = struct.unpack_from("<IIHHHH", self.data,
                                                                base + offset)
            stamps.append(stamp)
            for k in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * k)
                key = path + (ident if not ident & (1 << 31) else f"name@{ident & 0x7FFFFFFF:#x}",)
                if target & (1 << 31):
                    walk(target & 0x7FFFFFFF, key)
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(data_rva)
                    found[key] = self.data[start:start + data_size]

        walk(0, ())
        return found, stamps

    def resource(self, kind, name=None):
        """The first resource of a type (and name), in any language."""
        for (t, n, _), data in self.resources()[0].items():
            if t == kind and (name is None or n == name):
                return data
        raise PeError(f"no resource of type {kind} name {name}")


def version_strings(block: bytes):
    """The StringFileInfo values and the fixed file version of a VS_VERSIONINFO resource."""
    strings = {}

    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        key_end = offset + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[offset + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if kind == 1 else value_length
        if kind == 1 and value_length:
            strings[key] = block[value:value + value_bytes].decode("utf-16-le").rstrip("\0")
        child = (value + value_bytes + 3) & ~3
        while child < offset + length:
            child_length = struct.unpack_from("<H", block, child)[0]
            if not child_length:
                break
            node(child)
            child = (child + child_length + 3) & ~3
        return key, block[value:value + value_bytes]

    key, fixed = node(0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        raise PeError("not a version resource")
    ms, ls = struct.unpack_from("<II", fixed, 8)
    return strings, (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def icon_images(pe: PeFile):
    """(width, height, bits per pixel) of each image of the first icon group, as the group
    states it and as the image itself (its BITMAPINFOHEADER) says."""
    group = pe.resource(RT_GROUP_ICON)
    _, kind, count = struct.unpack_from("<HHH", group)
    if kind != 1:
        raise PeError("icon group of another type")
    stated, actual = [], []
    for k in range(count):
        width, height, _, _, _, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * k)
        stated.append((width or 256, height or 256, bits))
        image = pe.resource(RT_ICON, ident)
        _, w, h, _, b = struct.unpack_from("<IiiHH", image)
        actual.append((w, h // 2, b))  # the height counts the mask too
    return sorted(stated), sorted(actual)
