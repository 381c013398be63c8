#!/usr/bin/python3
"""Writes dup_tables.xlsx: three design-document sheets in the default layout (table name C3,
fields from row 6 in columns D E F G I), the first and the third naming the same table T_DUP.

  1 Dup1   T_DUP    ID (AutoNumber, PK), NAME (Text 20)
  2 Other  T_OTHER  CODE (Text 4, PK), QTY (Long, NULL allowed)
  3 Dup2   T_DUP    KEY_NO (Long, PK)
"""
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"

SHEETS = [
    ("Dup1", "T_DUP", [("ID", "AutoNumber", "", "○", ""), ("NAME", "Text", 20, "", "")]),
    ("Other", "T_OTHER", [("CODE", "Text", 4, "○", ""), ("QTY", "Long", "", "", "○")]),
    ("Dup2", "T_DUP", [("KEY_NO", "Long", "", "○", "")]),
]


def ref(row, col):
    return f"{chr(64 + col)}{row}"


def cell(row, col, value):
    if value == "":
        return ""
    if isinstance(value, int):
        return f'<c r="{ref(row, col)}"><v>{value}</v></c>'
    return f'<c r="{ref(row, col)}" t="inlineStr"><is><t>{value}</t></is></c>'


def sheet_xml(table, fields):
    rows = [f'<row r="3">{cell(3, 3, table)}</row>']
    for i, (name, typ, size, pk, null) in enumerate(fields):
        r = 6 + i
        cells = "".join(cell(r, c, v) for c, v in ((4, name), (5, typ), (6, size), (7, pk), (9, null)))
        rows.append(f'<row r="{r}">{cells}</row>')
    return (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            f'<worksheet xmlns="{MAIN}"><sheetData>{"".join(rows)}</sheetData></worksheet>')


def main():
    n = len(SHEETS)
    files = {
        "[Content_Types].xml":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
            + "".join(f'<Override PartName="/xl/worksheets/sheet{i + 1}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                      for i in range(n))
            + '</Types>',
        "_rels/.rels":
            f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="{PKG}">'
            f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml":
            f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>'
            + "".join(f'<sheet name="{s[0]}" sheetId="{i + 1}" r:id="rId{i + 1}"/>' for i, s in enumerate(SHEETS))
            + '</sheets></workbook>',
        "xl/_rels/workbook.xml.rels":
            f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="{PKG}">'
            + "".join(f'<Relationship Id="rId{i + 1}" Type="{REL}/worksheet" Target="worksheets/sheet{i + 1}.xml"/>'
                      for i in range(n))
            + '</Relationships>',
    }
    for i, (_, table, fields) in enumerate(SHEETS):
        files[f"xl/worksheets/sheet{i + 1}.xml"] = sheet_xml(table, fields)
    with zipfile.ZipFile(os.path.join(HERE, "dup_tables.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), text.encode("utf-8"))


if __name__ == "__main__":
    main()
