#!/usr/bin/env python3
"""Writes ZIP archives for the end-to-end tests with Python's zipfile, as an
independent writer, and damages them on request.

  make_zip.py OUT.zip MODE NAME=FILE ...

MODE: plain (deflated), stored, badcrc, truncated, hugesize, namesonly
NAME is the entry name as stored (it may climb out with ..\\ or carry a drive).
"""
import struct
import sys
import zipfile


def main():
    out, mode, pairs = sys.argv[1], sys.argv[2], sys.argv[3:]
    method = zipfile.ZIP_STORED if mode in ("stored", "badcrc", "hugesize") else zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(out, "w", method) as z:
        for pair in pairs:
            name, path = pair.split("=", 1)
            with open(path, "rb") as f:
                data = f.read()
            info = zipfile.ZipInfo(name, date_time=(2021, 6, 1, 12, 30, 0))
            info.compress_type = method
            info.create_system = 0
            z.writestr(info, data)
    data = bytearray(open(out, "rb").read())
    if mode == "badcrc":
        # Flip one byte of the first entry's stored data.
        name_len, extra_len = struct.unpack_from("<HH", data, 26)
        data[30 + name_len + extra_len] ^= 0xFF
    elif mode == "truncated":
        # Keep the end record but cut the middle of the data away.
        eocd = data.rfind(b"PK\x05\x06")
        cut = max(eocd // 2, 31)
        data = data[:cut] + data[eocd:]
    elif mode == "hugesize":
        # Declare far more data than the file holds, in the central directory.
        cd = data.find(b"PK\x01\x02")
        struct.pack_into("<II", data, cd + 20, 0x7FFFFFF0, 0x7FFFFFF0)
        struct.pack_into("<II", data, 18, 0x7FFFFFF0, 0x7FFFFFF0)
    open(out, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
