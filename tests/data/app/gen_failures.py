#!/usr/bin/python3
"""Writes failures.xlsx: one table per sheet, default layout (table name C3, fields from row 6 in
columns D name, E type word, F size, G PK mark, I NULL mark), for the builder's failure paths:

  1 T_UNKNOWN  type word " 文字 " matches no notation; the other fields are created
  2 T_NOSIZE   a Text field without size is skipped without a message
  3 T_BADSIZE  a Text field of size "abc"
  4 item       a name the sample database already holds
  5 T_PKSKIP   the primary key is on a skipped field: the whole table is refused
  6 T_EMPTY    no fields
  7 T_TWICE    created
  8 T_TWICE    the same name again
"""
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"

SHEETS = [
    ("T_UNKNOWN", [("ID", "Long", "", "○", ""), ("A", " 文字 ", "10", "", ""), ("B", "Text", "20", "", "○")]),
    ("T_NOSIZE", [("ID", "Long", "", "○", ""), ("NAME", "Text", "", "", "")]),
    ("T_BADSIZE", [("ID", "Long", "", "", ""), ("CODE", "Text", "abc", "", "")]),
    ("item", [("X", "Long", "", "", "")]),
    ("T_PKSKIP", [("ID", "Text", "", "○", ""), ("N", "Long", "", "", "")]),
    ("T_EMPTY", []),
    ("T_TWICE", [("A", "Long", "", "○", "")]),
    ("T_TWICE", [("B", "Long", "", "", "")]),
]


def esc(t):
    return t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def cell(ref, v):
    return f'<c r="{ref}" t="inlineStr"><is><t xml:space="preserve">{esc(v)}</t></is></c>'


def sheet_xml(name, fields):
    rows = [f'<row r="3">{cell("C3", name)}</row>']
    for i, f in enumerate(fields):
        r = 6 + i
        cells = "".join(cell(f"{col}{r}", v) for col, v in zip("DEFGI", f) if v != "")
        rows.append(f'<row r="{r}">{cells}</row>')
    return (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            f'<worksheet {NS}><sheetData>{"".join(rows)}</sheetData></worksheet>')


def write_book(path, sheets):
    n = len(sheets)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   + "".join(f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                             for i in range(1, n + 1))
                   + '</Types>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   f'<workbook {NS} xmlns:r="{REL}"><sheets>'
                   + "".join(f'<sheet name="S{i}" sheetId="{i}" r:id="rId{i}"/>' for i in range(1, n + 1))
                   + '</sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   + "".join(f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>'
                             for i in range(1, n + 1))
                   + '</Relationships>')
        for i, (name, fields) in enumerate(sheets, 1):
            z.writestr(f"xl/worksheets/sheet{i}.xml", sheet_xml(name, fields))


def main():
    write_book(os.path.join(HERE, "failures.xlsx"), SHEETS)


if __name__ == "__main__":
    main()
