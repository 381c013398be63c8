#!/usr/bin/python3
"""Writes before.xlsx and after.xlsx: the same three tables (default layout: table name C3, fields
from row 6 in columns D name, E type word, F size, G PK mark, I NULL mark), where after.xlsx
changes what the comparison with a database made from before.xlsx must find:

  customer  NAME size 50 -> 80; NOTE removed; EMAIL (Text 100) added
  orders    AMOUNT Currency -> Double; primary key ORDER_ID -> ORDER_ID, CUSTOMER_ID
  product   unchanged
"""
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"

BEFORE = [
    ("customer", [("ID", "AutoNumber", "", "*", ""), ("NAME", "Text", "50", "", ""),
                  ("PHONE", "Text", "20", "", "*"), ("NOTE", "Text", "100", "", "*")]),
    ("orders", [("ORDER_ID", "Long", "", "*", ""), ("CUSTOMER_ID", "Long", "", "", ""),
                ("ORDERED", "Date", "", "", ""), ("AMOUNT", "Currency", "", "", "*")]),
    ("product", [("CODE", "Text", "10", "*", ""), ("PRICE", "Currency", "", "", "")]),
]
AFTER = [
    ("customer", [("ID", "AutoNumber", "", "*", ""), ("NAME", "Text", "80", "", ""),
                  ("PHONE", "Text", "20", "", "*"), ("EMAIL", "Text", "100", "", "*")]),
    ("orders", [("ORDER_ID", "Long", "", "*", ""), ("CUSTOMER_ID", "Long", "", "*", ""),
                ("ORDERED", "Date", "", "", ""), ("AMOUNT", "Double", "", "", "*")]),
    ("product", [("CODE", "Text", "10", "*", ""), ("PRICE", "Currency", "", "", "")]),
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


def write(path, sheets):
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
                   + "".join(f'<sheet name="{esc(name)}" sheetId="{i}" r:id="rId{i}"/>'
                             for i, (name, _) in enumerate(sheets, 1))
                   + '</sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   + "".join(f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>'
                             for i in range(1, n + 1))
                   + '</Relationships>')
        for i, (name, fields) in enumerate(sheets, 1):
            z.writestr(f"xl/worksheets/sheet{i}.xml", sheet_xml(name, fields))


if __name__ == "__main__":
    write(os.path.join(HERE, "before.xlsx"), BEFORE)
    write(os.path.join(HERE, "after.xlsx"), AFTER)
