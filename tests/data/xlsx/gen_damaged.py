#!/usr/bin/python3
"""Damaged and unusual packages derived from hand_edge.xlsx, for the .xlsx reader's refusals.

  encrypted.xlsx        a compound file holding EncryptionInfo and EncryptedPackage streams,
                        the form a password-protected workbook takes
  bad_crc.xlsx          sheet2.xml stored uncompressed with one byte changed (CRC mismatch)
  missing_part.xlsx     the workbook lists a sheet whose part is not in the package
  bad_sst_index.xlsx    a cell points past the end of the shared strings
  malformed_sheet.xlsx  sheet2.xml cut off in the middle of a tag
  no_workbook.zip       a zip archive without a workbook part
  doctype.xlsx          sheet2.xml declares an entity in a DOCTYPE and uses it in a cell
"""
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
BASE = os.path.join(HERE, "hand_edge.xlsx")
STAMP = (2024, 1, 1, 0, 0, 0)


def parts():
    with zipfile.ZipFile(BASE) as z:
        return {n: z.read(n) for n in z.namelist()}


def write(name, files, stored=()):
    with zipfile.ZipFile(os.path.join(HERE, name), "w") as z:
        for n, data in files.items():
            z.writestr(zipfile.ZipInfo(n, STAMP), data,
                       zipfile.ZIP_STORED if n in stored else zipfile.ZIP_DEFLATED)


def compound_file(streams):
    """A version 3 compound file (512-byte sectors) with the given streams, each >= 4096 bytes."""
    fat, data = [0xFFFFFFFD, 0xFFFFFFFE], b""   # sector 0: FAT, sector 1: directory
    starts = []
    for _, body in streams:
        n = (len(body) + 511) // 512
        first = len(fat)
        starts.append(first)
        fat += [first + i + 1 for i in range(n - 1)] + [0xFFFFFFFE]
        data += body.ljust(n * 512, b"\0")
    fat += [0xFFFFFFFF] * (128 - len(fat))
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16 + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6)
              + b"\0" * 6 + struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
              + struct.pack("<I", 0) + struct.pack("<I", 0xFFFFFFFF) * 108)

    def entry(name, kind, left, right, child, start, size):
        raw = name.encode("utf-16-le") + b"\0\0"
        return (raw.ljust(64, b"\0") + struct.pack("<HBBIII", len(raw), kind, 1, left, right, child)
                + b"\0" * 36 + struct.pack("<IQ", start, size))

    none = 0xFFFFFFFF
    dirs = entry("Root Entry", 5, none, none, 1, 0xFFFFFFFE, 0)
    for i, ((name, body), start) in enumerate(zip(streams, starts)):
        dirs += entry(name, 2, none, i + 2 if i + 1 < len(streams) else none, none, start, len(body))
    dirs = dirs.ljust(512, b"\0")
    return header + struct.pack("<128I", *fat) + dirs + data


def main():
    with open(os.path.join(HERE, "encrypted.xlsx"), "wb") as f:
        f.write(compound_file([("EncryptionInfo", b"\x04\x00\x04\x00" + b"\x55" * 4092),
                               ("EncryptedPackage", struct.pack("<Q", 9000) + b"\xAA" * 8992)]))

    files = parts()
    write("bad_crc.xlsx", files, stored=("xl/worksheets/sheet2.xml",))
    # change one byte of the stored sheet data after the CRC was written
    path = os.path.join(HERE, "bad_crc.xlsx")
    raw = bytearray(open(path, "rb").read())
    pos = raw.index(b"<v>10</v>")
    raw[pos + 4] = ord("7")
    open(path, "wb").write(bytes(raw))

    tmp = dict(files)
    del tmp["xl/worksheets/sheet3.xml"]
    write("missing_part.xlsx", tmp)

    tmp = dict(files)
    tmp["xl/worksheets/sheet1.xml"] = tmp["xl/worksheets/sheet1.xml"].replace(
        b'<c r="A1" t="inlineStr"><is><t>first sheet file, third tab</t></is></c>', b'<c r="A1" t="s"><v>99</v></c>')
    write("bad_sst_index.xlsx", tmp)

    tmp = dict(files)
    s2 = tmp["xl/worksheets/sheet2.xml"]
    tmp["xl/worksheets/sheet2.xml"] = s2[: s2.index(b'<c r="A3"') + 6]
    write("malformed_sheet.xlsx", tmp)

    write("no_workbook.zip", {"hello.txt": b"hello\n"})

    tmp = dict(files)
    tmp["xl/worksheets/sheet1.xml"] = (
        b'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE worksheet [<!ENTITY a "aaaaaaaaaa">'
        b'<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>'
        b'<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
        b'<row r="1"><c r="A1" t="inlineStr"><is><t>&b;</t></is></c><c r="B1" t="inlineStr"><is><t>'
        b'<![CDATA[x]]]]><![CDATA[>y<z>]]></t></is></c></row></sheetData></worksheet>')
    write("doctype.xlsx", tmp)


if __name__ == "__main__":
    main()
    print("wrote the damaged packages")
