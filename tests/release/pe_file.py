"""Reads what the package test needs from a PE file: machine, exports, resources.

A reader of its own, not objdump: the test then checks the DLLs with a second pair of
eyes from the static checks, and it reads the version resource and string table,
which objdump does not show.
"""

import struct

IMAGE_FILE_DLL = 0x2000
PE32_MAGIC = 0x10B
RT_STRING = 6
RT_VERSION = 16


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        if self.magic != PE32_MAGIC:
            raise PeError("optional header magic 0x%x, not PE32" % self.magic)
        count = struct.unpack_from("<I", data, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i)
                            for i in range(min(count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), va, max(vsize, raw_size), raw))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise PeError("RVA 0x%x lies in no section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def exports(self):
        """{name: ordinal} of the export table; {} when there is none."""
        rva, size = self.directories[0]
        if not rva or not size:
            return {}
        (_, _, _, _, _, base, _, names, _, name_table,
         ordinal_table) = struct.unpack_from("<IIHHIIIIIII", self.data, self.offset(rva))
        result = {}
        for i in range(names):
            name_rva = struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0]
            index = struct.unpack_from("<H", self.data, self.offset(ordinal_table) + 2 * i)[0]
            result[self.c_string(name_rva)] = base + index
        return result

    def resources(self):
        """{(type, name, language): bytes} for resources named by number."""
        rva, size = self.directories[2]
        if not rva or not size:
            return {}
        root = self.offset(rva)
        found = {}

        def walk(directory, path):
            named, numbered = struct.unpack_from("<HH", self.data, root + directory + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, root + directory + 16 + 8 * i)
                if ident & 0x80000000:
                    continue  # named entries: none of ours
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + (ident,))
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, root + target)
                    start = self.offset(data_rva)
                    found[path + (ident,)] = self.data[start:start + data_size]

        walk(0, ())
        return found

    def string_table(self):
        """{(id, language): text} of every RT_STRING entry."""
        strings = {}
        for (kind, block, language), data in self.resources().items():
            if kind != RT_STRING:
                continue
            position = 0
            for index in range(16):
                length = struct.unpack_from("<H", data, position)[0]
                text = data[position + 2:position + 2 + 2 * length].decode("utf-16-le")
                position += 2 + 2 * length
                if length:
                    strings[((block - 1) << 4) + index, language] = text
        return strings

    def version_info(self):
        """(fixed, strings, translations) of the first RT_VERSION resource, or None.
        fixed: {"FileVersion": (a, b, c, d), "ProductVersion": ...}; strings:
        {block key: {name: text}}; translations: [(language, code page)]."""
        blobs = [data for (kind, _, _), data in sorted(self.resources().items()) if kind == RT_VERSION]
        if not blobs:
            return None
        root = _version_block(blobs[0], 0)
        if root["key"] != "VS_VERSION_INFO":
            raise PeError("version resource key %r" % root["key"])
        value = root["value"]
        signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", value, 0)
        if signature != 0xFEEF04BD:
            raise PeError("VS_FIXEDFILEINFO signature 0x%x" % signature)
        fixed = {"FileVersion": (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF),
                 "ProductVersion": (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF)}
        strings, translations = {}, []
        for child in root["children"]:
            if child["key"] == "StringFileInfo":
                for table in child["children"]:
                    strings[table["key"]] = {entry["key"]: _utf16_text(entry["value"])
                                             for entry in table["children"]}
            elif child["key"] == "VarFileInfo":
                for var in child["children"]:
                    raw = var["value"]
                    translations += [struct.unpack_from("<HH", raw, i) for i in range(0, len(raw) - 3, 4)]
        return fixed, strings, translations


def _align4(n):
    return (n + 3) & ~3


def _utf16_text(raw):
    text = raw.decode("utf-16-le", "replace")
    return text.split("\0", 1)[0]


def _version_block(data, start):
    """One VS_VERSIONINFO-style block: length, value length, type, key, value, children."""
    length, value_length, kind = struct.unpack_from("<HHH", data, start)
    end = start + length
    key_end = start + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[start + 6:key_end].decode("utf-16-le")
    value_start = _align4(key_end + 2)
    # Text values count characters, binary ones bytes; a text runs to its NUL anyway.
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[value_start:min(value_start + value_bytes, end)]
    children = []
    position = _align4(value_start + value_bytes)
    while position + 6 <= end:
        child = _version_block(data, position)
        if child["length"] == 0:
            break
        children.append(child)
        position = _align4(position + child["length"])
    return {"key": key, "value": value, "children": children, "length": length}
