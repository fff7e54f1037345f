#!/usr/bin/env python3
"""Writes the release zip from a staged folder, as the host's users unpack it.

    package_zip.py ZIP STAGE EPOCH NAME...

NAME are paths inside STAGE, in the order they go into the archive ("Plugins/" for a
folder). Names are stored in Shift_JIS (code page 932) without the UTF-8 flag: the
archivers of Japanese Windows, Windows XP's compressed folders among them, read
names in the system code page and ignore that flag. Each entry also carries the
Info-ZIP Unicode Path field (0x7075) with the UTF-8 name, which 7-Zip and unzip on
other systems prefer. Every entry gets the time EPOCH (UTC), so that the same
sources give the same bytes.
"""

import os
import struct
import sys
import time
import zlib

ATTR_DIRECTORY = 0x10
ATTR_ARCHIVE = 0x20
MADE_BY_MSDOS_20 = 20  # host system 0 (MS-DOS/Windows attributes), zip version 2.0
NEEDED_STORE = 10
NEEDED_DEFLATE = 20
UNICODE_PATH_FIELD = 0x7075


def dos_time(epoch):
    t = time.gmtime(max(epoch, 315532800))  # DOS times start in 1980
    date = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
    clock = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
    return clock, date


def unicode_path_field(name_bytes, name):
    utf8 = name.encode("utf-8")
    body = struct.pack("<BI", 1, zlib.crc32(name_bytes)) + utf8
    return struct.pack("<HH", UNICODE_PATH_FIELD, len(body)) + body


def main(argv):
    if len(argv) < 5:
        sys.stderr.write(__doc__)
        return 2
    zip_path, stage, epoch = argv[1], argv[2], int(argv[3])
    names = argv[4:]
    clock, date = dos_time(epoch)
    central = []
    with open(zip_path + ".part", "wb") as out:
        for name in names:
            is_dir = name.endswith("/")
            source = os.path.join(stage, name)
            data = b"" if is_dir else open(source, "rb").read()
            crc = zlib.crc32(data)
            if is_dir:
                method, needed, packed = 0, NEEDED_STORE, b""
            else:
                packer = zlib.compressobj(9, zlib.DEFLATED, -15)
                method, needed = 8, NEEDED_DEFLATE
                packed = packer.compress(data) + packer.flush()
            name_bytes = name.encode("cp932")  # strict: a name without a Shift_JIS form fails here
            extra = b"" if name.isascii() else unicode_path_field(name_bytes, name)
            offset = out.tell()
            out.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, needed, 0, method, clock, date,
                                  crc, len(packed), len(data), len(name_bytes), len(extra)))
            out.write(name_bytes + extra + packed)
            attributes = ATTR_DIRECTORY if is_dir else ATTR_ARCHIVE
            central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, MADE_BY_MSDOS_20, needed, 0,
                                       method, clock, date, crc, len(packed), len(data),
                                       len(name_bytes), len(extra), 0, 0, 0, attributes, offset)
                           + name_bytes + extra)
        start = out.tell()
        directory = b"".join(central)
        out.write(directory)
        out.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(central), len(central),
                              len(directory), start, 0))
    os.replace(zip_path + ".part", zip_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
