#!/usr/bin/python3
"""Writes edge_cases.xlsx: small design-document sheets for the reader's edge cases.

Sheets in tab order (default layout: table name C3, fields from row 6 in D E F G I):
  1 Main      "  T_MAIN  " with spaced, duplicated and marked fields; the row that ends the
              list has a full-width-space name and error values in its other cells; a field
              below the gap
  2 Blank     table-name cell holds U+3000 and spaces only
  3 NoFields  "T_EMPTY" with a blank first field row
  4 ToRow99   fields on rows 6..100 (row 100 must not be read)
  5 Dup       "T_EMPTY" again, no fields
  6 ErrName   table-name cell holds #N/A (a formula's cached error)
  7 ErrField  field row 8 has #DIV/0! in the size column (F8)
  8 グラフ    a chart sheet
"""
import os
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from xlsx_book import col_name, esc  # noqa: E402

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
RNS = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
W = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
ERR = object()


def cell(ref, v):
    if isinstance(v, tuple):
        return f'<c r="{ref}" t="e"><f>{esc(v[1])}</f><v>{esc(v[0])}</v></c>'
    if isinstance(v, (int, float)):
        return f'<c r="{ref}"><v>{v}</v></c>'
    return f'<c r="{ref}" t="inlineStr"><is><t xml:space="preserve">{esc(v)}</t></is></c>'


def sheet(cells):
    rows = {}
    for (r, c), v in cells.items():
        rows.setdefault(r, []).append((c, v))
    body = "".join(
        f'<row r="{r}">' + "".join(cell(f"{col_name(c)}{r}", v) for c, v in sorted(rows[r])) + "</row>"
        for r in sorted(rows))
    return f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet {NS}><sheetData>{body}</sheetData></worksheet>'


def fields(start, rows):
    out = {}
    for i, (name, typ, size, pk, null) in enumerate(rows):
        r = start + i
        for c, v in ((4, name), (5, typ), (6, size), (7, pk), (9, null)):
            if v is not None:
                out[(r, c)] = v
    return out


NA = ("#N/A", "VLOOKUP(D10,$K$1:$L$2,2,FALSE)")
main = {(3, 3): "  T_MAIN  ", (3, 2): "テーブル名"}
main.update(fields(6, [
    (" ID ", "AutoNumber", None, "○", None),
    ("NAME", "Text", 50, None, "0"),
    ("CODE", "Text", "10", "x", "\u3000"),
    (" ID ", "Long", 1.5, "-", "×"),
    ("\u3000", NA, ("#DIV/0!", "1/0"), NA, NA),
    ("LOST", "Text", 5, "○", "○"),
]))
to99 = {(3, 3): "T_99"}
to99.update(fields(6, [(f"F{r}", "Text", r, None, None) for r in range(6, 101)]))

SHEETS = [
    ("Main", main),
    ("Blank", {(3, 3): "\u3000  \u3000", (6, 4): "X"}),
    ("NoFields", {(3, 3): "T_EMPTY", (6, 4): "  ", (7, 4): "NOT_READ"}),
    ("ToRow99", to99),
    ("Dup", {(3, 3): "T_EMPTY"}),
    ("ErrName", {(3, 3): NA, (6, 4): "A"}),
    ("ErrField", {(3, 3): "T_ERR", **fields(6, [("A", "Text", 1, None, None), ("B", "Text", 2, None, None),
                                                 ("C", "Text", ("#DIV/0!", "1/0"), None, None)])}),
]


def build(path):
    files = {}
    n = len(SHEETS)
    files["[Content_Types].xml"] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        + "".join(f'<Override PartName="/xl/worksheets/sheet{i + 1}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' for i in range(n))
        + '<Override PartName="/xl/chartsheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml"/>'
        '</Types>')
    files["_rels/.rels"] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        f'<Relationship Id="rId1" Type="{W}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    files["xl/workbook.xml"] = (
        f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook {NS} {RNS}><sheets>'
        + "".join(f'<sheet name="{name}" sheetId="{i + 1}" r:id="rId{i + 1}"/>' for i, (name, _) in enumerate(SHEETS))
        + f'<sheet name="グラフ" sheetId="{n + 1}" r:id="rId{n + 1}"/></sheets></workbook>')
    files["xl/_rels/workbook.xml.rels"] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        + "".join(f'<Relationship Id="rId{i + 1}" Type="{W}/worksheet" Target="worksheets/sheet{i + 1}.xml"/>' for i in range(n))
        + f'<Relationship Id="rId{n + 1}" Type="{W}/chartsheet" Target="chartsheets/sheet1.xml"/></Relationships>')
    for i, (_, cells) in enumerate(SHEETS):
        files[f"xl/worksheets/sheet{i + 1}.xml"] = sheet(cells)
    files["xl/chartsheets/sheet1.xml"] = (
        f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<chartsheet {NS}><sheetViews><sheetView workbookViewId="0"/></sheetViews></chartsheet>')
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            z.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), text.encode("utf-8"), zipfile.ZIP_DEFLATED)


if __name__ == "__main__":
    build(os.path.join(HERE, "edge_cases.xlsx"))
    print("wrote edge_cases.xlsx")
