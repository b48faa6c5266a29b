#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (corpus/<target>/): small,
valid examples of each format that the fuzzer then mutates. Run once from
this folder when a format gains a feature worth seeding; the files are kept
in the repository."""
import io
import os
import struct
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def demo(name):
    with open(os.path.join(ROOT, "examples", "demo", "config", name), "rb") as f:
        return f.read()


def python_zip(entries, method=zipfile.ZIP_DEFLATED, comment=b"", force_zip64=False):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", method) as z:
        z.comment = comment
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2021, 6, 1, 12, 30, 0))
            info.compress_type = method
            info.create_system = 0
            info.external_attr = 0x21
            with z.open(info, "w", force_zip64=force_zip64) as f:
                f.write(data)
    return out.getvalue()


def zip64_all(entries, prefix=b""):
    """Every size and offset in the ZIP64 extra field, ZIP64 end records."""
    out, central = bytearray(prefix), bytearray()
    for name, data in entries:
        body = zlib.compress(data, 9)[2:-4]
        crc = zlib.crc32(data)
        offset = len(out) - len(prefix)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 8, 0x6000, 0x52C1, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                           len(name), 20)
        out += name + struct.pack("<HHQQ", 1, 16, len(data), len(body)) + body
        extra = struct.pack("<HHQQQ", 1, 24, len(data), len(body), offset)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 8, 0x6000, 0x52C1, crc, 0xFFFFFFFF,
                               0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0x20, 0xFFFFFFFF)
        central += name + extra
    cd_offset = len(out) - len(prefix)
    out += central
    z64 = len(out) - len(prefix)
    out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, len(entries), len(entries), len(central),
                       cd_offset)
    out += struct.pack("<IIQI", 0x07064B50, 0, z64, 1)
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return bytes(out)


def unicode_path_zip():
    """A CP437 name with the Info-ZIP Unicode Path field beside it."""
    raw = "cafe.txt".encode("cp437")
    real = "café.txt".encode("utf-8")
    extra = struct.pack("<HHBI", 0x7075, 5 + len(real), 1, zlib.crc32(raw)) + real
    data = b"unicode"
    crc = zlib.crc32(data)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x52C1, crc, len(data), len(data), len(raw), 0)
    local += raw + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x52C1, crc, len(data), len(data),
                          len(raw), len(extra), 0, 0, 0, 0, 0) + raw + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


def sfnt(names, version=0x00010000):
    """A font with only a name table: (platform, encoding, language, id, bytes)."""
    strings, records = b"", b""
    for platform, encoding, language, name_id, text in names:
        records += struct.pack(">HHHHHH", platform, encoding, language, name_id, len(text), len(strings))
        strings += text
    table = struct.pack(">HHH", 0, len(names), 6 + len(records)) + records + strings
    header = struct.pack(">IHHHH", version, 1, 16, 0, 0)
    entry = struct.pack(">4sIII", b"name", 0, 12 + 16, len(table))
    return header + entry + table


def main():
    # Trailer scan: the last bytes of a setup file.
    write("trailer_scan", "end", b"engine and archives" + b"ZYX0000030948")
    write("trailer_scan", "admin", b"x" * 40 + b"ZYX1000000123")
    write("trailer_scan", "signed", b"ZYX0000001234" + b"\x00" * 3 + bytes(range(256)) * 4)
    write("trailer_scan", "skipped", b"ZYX0000000200" + b"ZYX0notanumbr" + b"ZYX0000000001")
    write("trailer_scan", "blanks", b"ZYX0   +0x1F " + b"ZYX0$00000010")

    # ZIP reader.
    ini = demo("eksetup.ini")
    write("zip_reader", "deflated.zip", python_zip([("eksetup.ini", ini), ("Englishek.lng", demo("Englishek.lng"))]))
    write("zip_reader", "stored.zip", python_zip([("0", b"payload"), ("dir/", b""), ("dir/1", b"x" * 100)],
                                                 zipfile.ZIP_STORED, b"comment"))
    write("zip_reader", "zip64-local.zip", python_zip([("0", b"z" * 300)], force_zip64=True))
    write("zip_reader", "zip64-all.zip", zip64_all([(b"0", b"first" * 20), (b"1", b"second")], b"prefix"))
    write("zip_reader", "unicode-path.zip", unicode_path_zip())
    write("zip_reader", "utf8-flag.zip", python_zip([("naïve/файл.txt", b"utf8 names")]))
    write("zip_reader", "empty.zip", python_zip([]))

    # INI documents and record lists.
    write("ini_document", "eksetup.ini", ini)
    write("ini_document", "bom.ini", b"\xef\xbb\xbf" + ini)
    write("ini_document", "utf16.ini", "\ufeff[A]\r\nk=v\r\n;c\r\n[a]\r\nrepeat=1\r\n".encode("utf-16-le"))
    write("ini_document", "odd.ini", b"before=section\n[ S ]\n =v\nk = v = w \nname only\r[T]\r\n[]\n[x]y]\n")
    write("record_list", "eksetup.ini", ini)
    write("record_list", "records.ini",
          "[Setup]\nSetupParameters=-nosilent -doubledots\n[Files]\n0=<InstallDir>\\a.txt?11\n1=<InstallDir>\\d\\?01\n"
          "2=?1\n[Registry]\n0=HKCU\\Software\\X*?Name*?REG_SZ*?v*?Yes*?Yes*?Default\n1=*?*?*?\n5=gap\n")

    # Versions: a rules byte, then three texts.
    for i, (rules, texts) in enumerate([(0, "1.2.3.4\n1.2.3-beta\n2.0+meta"), (1, "1..2\n1.2\n1,2_3"),
                                        (8, "10.0.19041.1\n10.0.19041\n9.9"), (4, "1-2-3\n1.2-rc1\nv1.0 (x64)")]):
        write("version", "v%d" % i, bytes([rules]) + texts.encode())

    # Expansion: the text, then the values.
    write("expansion", "table", "Install <AppName> into <InstallDir>\\GETNAMEX[<MainExe>]<#>\n"
                                "c1:Demo\nc7:C:\\Program Files\\<AppName>\nc9:C:\\P\\app.exe\n")
    write("expansion", "users", "<A>|<b>|<%PATH%>|<COMPONENT2>|<ExitCode>\nu<A>=<B><B>\nu<B>=x\nk01\n"
                                "ePATH=C:\\Windows\ns0:<A>\n")
    write("expansion", "self", "<AppVersion> GETVERX[<AppVersion>] POSX[b,abc] UPPERCASEX[<GUID>]\n"
                               "c2:1.<AppVersion>.GETDIRX[<GUID>]\nc84:<GUID>{x}\nr1\n")
    write("expansion", "format", "Drive %s doesn't contain %-5.2s 100%% %0:s\n")

    # Language files: UTF-8 with a mark, UTF-16 both ways, ANSI.
    lng = demo("Englishek.lng")
    write("language_file", "english.lng", lng)
    text = lng.decode("utf-8-sig")
    write("language_file", "utf16le.lng", "\ufeff".encode("utf-16-le") + text.encode("utf-16-le"))
    write("language_file", "utf16be.lng", "\ufeff".encode("utf-16-be") + text[:600].encode("utf-16-be"))
    write("language_file", "ansi.lng", "[Info]\r\nid=1031\r\nlng=de\r\n[Welcome]\r\n0=Willkommen zu <AppName>\r\n"
                                       "[Setup]\r\nAppName=Demo#German[Démo]French[Démo FR]\r\n".encode("latin-1"))

    # Font names.
    write("font_name", "truetype.ttf", sfnt([(3, 1, 0x409, 4, "Ek Sans".encode("utf-16-be")),
                                             (1, 0, 0, 1, b"Ek Sans Mac")]))
    write("font_name", "opentype.otf", sfnt([(3, 1, 0x407, 1, "Ek Serif".encode("utf-16-be"))], 0x4F54544F))
    font = sfnt([(0, 3, 0, 4, "Ek Mono".encode("utf-16-be"))])
    write("font_name", "collection.ttc", struct.pack(">4sIII", b"ttcf", 0x00010000, 1, 16) + font)


if __name__ == "__main__":
    main()
