"""The .xlsx writing the test-data generators share: sheets of cells as the smallest workbook the
readers take (inline strings, numbers as values, no styles), and the classic design grid.

  cells      {(row, column): value}, both 1-based; "" and None are left out
  grid_cells the classic layout: table name in C3, fields from row 6 in columns D name, E type
             word, F size, G primary-key mark, I NULL mark
  write_xlsx one workbook from [(sheet name, cells)]

Generators import it after putting tests/data on sys.path.
"""
import zipfile

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
# Members stamped with this time make the same bytes on every run.
FIXED_TIME = (2024, 1, 1, 0, 0, 0)


def esc(t):
    return t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def col_name(c):
    s = ""
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def grid_cells(name, fields):
    """A table in the classic layout: fields are (name, type word, size, PK mark, NULL mark)."""
    cells = {(3, 3): name}
    for i, f in enumerate(fields):
        for col, v in zip((4, 5, 6, 7, 9), f):
            cells[(6 + i, col)] = v
    return cells


def sheet_xml(cells):
    rows = {}
    for (r, c), v in cells.items():
        if v is not None and v != "":
            rows.setdefault(r, []).append((c, v))
    out = []
    for r in sorted(rows):
        cs = []
        for c, v in sorted(rows[r]):
            ref = f"{col_name(c)}{r}"
            if isinstance(v, (int, float)):
                cs.append(f'<c r="{ref}"><v>{v}</v></c>')
            else:
                cs.append(f'<c r="{ref}" t="inlineStr"><is><t xml:space="preserve">{esc(v)}</t></is></c>')
        out.append(f'<row r="{r}">' + "".join(cs) + "</row>")
    return f'{HEAD}<worksheet {NS}><sheetData>{"".join(out)}</sheetData></worksheet>'


def write_xlsx(path, sheets, stamp=FIXED_TIME):
    """sheets: [(sheet name, cells)]. stamp None stamps the members with the time of the run."""
    n = len(sheets)
    files = {
        "[Content_Types].xml": (
            HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
            + "".join(f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                      for i in range(1, n + 1))
            + '</Types>'),
        "_rels/.rels": (
            HEAD + f'<Relationships xmlns="{PKG}">'
            f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>'),
        "xl/workbook.xml": (
            HEAD + f'<workbook {NS} xmlns:r="{REL}"><sheets>'
            + "".join(f'<sheet name="{esc(name)}" sheetId="{i}" r:id="rId{i}"/>' for i, (name, _) in enumerate(sheets, 1))
            + '</sheets></workbook>'),
        "xl/_rels/workbook.xml.rels": (
            HEAD + f'<Relationships xmlns="{PKG}">'
            + "".join(f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>'
                      for i in range(1, n + 1))
            + '</Relationships>'),
    }
    for i, (_, cells) in enumerate(sheets, 1):
        files[f"xl/worksheets/sheet{i}.xml"] = sheet_xml(cells)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            if stamp is None:
                z.writestr(name, text)
            else:
                z.writestr(zipfile.ZipInfo(name, stamp), text.encode("utf-8"), zipfile.ZIP_DEFLATED)


def write_tag_file(path, pairs):
    """A layout or type-word file: <Key>value</Key> lines, CP932, CR LF; a character CP932 has no
    form for is written as &#xHHHH;, as the program writes it."""
    def cp932_text(v):
        out = ""
        for ch in str(v):
            try:
                ch.encode("cp932")
                out += ch
            except UnicodeEncodeError:
                out += f"&#x{ord(ch):X};"
        return out.encode("cp932")

    with open(path, "wb") as f:
        for k, v in pairs:
            f.write(f"<{k}>".encode("cp932") + cp932_text(v) + f"</{k}>\r\n".encode("cp932"))
