#!/usr/bin/python3
"""The benchmark workbook of gen_bench.py, written as .xlsx (shared strings, a "00000" style),
without any library beyond Python's own.  usage: gen_bench_xlsx.py [N_SHEETS] [OUT]"""
import sys
import zipfile
from xml.sax.saxutils import escape

n = int(sys.argv[1]) if len(sys.argv) > 1 else 300
out = sys.argv[2] if len(sys.argv) > 2 else f"bench{n}.xlsx"
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
RNS = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
W = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
types = ["VARCHAR", "INTEGER", "DATE", "DECIMAL", "TEXT"]
strings, index = [], {}


def sst(text):
    if text not in index:
        index[text] = len(strings)
        strings.append(text)
    return index[text]


def col(c):
    return chr(ord("A") + c)


def sheet_xml(s):
    rows = []
    head = ["項目名", "name", "type", "len", "scale", "pk", "note", "code", "説明", "extra"]
    rows.append('<row r="1">' + "".join(f'<c r="{col(c)}1" t="s"><v>{sst(h)}</v></c>' for c, h in enumerate(head)) + "</row>")
    for r in range(1, 100):
        ref = r + 1
        cells = [
            f'<c r="A{ref}" t="s"><v>{sst(f"項目{s}_{r}")}</v></c>',
            f'<c r="B{ref}" t="s"><v>{sst(f"field_{r}")}</v></c>',
            f'<c r="C{ref}" t="s"><v>{sst(types[r % 5])}</v></c>',
            f'<c r="D{ref}"><v>{r * 2}</v></c>',
            f'<c r="E{ref}"><v>{r / 8}</v></c>',
            f'<c r="F{ref}"><v>{r % 2}</v></c>',
            f'<c r="G{ref}" t="s"><v>{sst(f"  note {r}  ")}</v></c>',
            f'<c r="H{ref}" s="1"><v>{r}</v></c>',
            f'<c r="I{ref}" t="s"><v>{sst(f"これはシート{s}の{r}行目の説明です")}</v></c>',
        ]
        if r % 2 == 0:
            cells.append(f'<c r="J{ref}" t="s"><v>{sst(f"x{r}")}</v></c>')
        rows.append(f'<row r="{ref}">' + "".join(cells) + "</row>")
    return f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet {NS}><dimension ref="A1:J100"/><sheetData>{"".join(rows)}</sheetData></worksheet>'


with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    sheets = [sheet_xml(s) for s in range(n)]
    z.writestr("[Content_Types].xml",
               '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
               '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
               '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
               '<Default Extension="xml" ContentType="application/xml"/>'
               '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
               + "".join(f'<Override PartName="/xl/worksheets/sheet{i + 1}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' for i in range(n))
               + '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
               '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
               '</Types>')
    z.writestr("_rels/.rels",
               '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
               '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
               f'<Relationship Id="rId1" Type="{W}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    z.writestr("xl/workbook.xml",
               f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook {NS} {RNS}><sheets>'
               + "".join(f'<sheet name="テーブル{i + 1:04d}" sheetId="{i + 1}" r:id="rId{i + 1}"/>' for i in range(n))
               + "</sheets></workbook>")
    z.writestr("xl/_rels/workbook.xml.rels",
               '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
               '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
               + "".join(f'<Relationship Id="rId{i + 1}" Type="{W}/worksheet" Target="worksheets/sheet{i + 1}.xml"/>' for i in range(n))
               + f'<Relationship Id="rId{n + 1}" Type="{W}/sharedStrings" Target="sharedStrings.xml"/>'
               f'<Relationship Id="rId{n + 2}" Type="{W}/styles" Target="styles.xml"/></Relationships>')
    z.writestr("xl/styles.xml",
               f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<styleSheet {NS}>'
               '<numFmts count="1"><numFmt numFmtId="164" formatCode="00000"/></numFmts>'
               '<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>'
               '<fills count="1"><fill><patternFill patternType="none"/></fill></fills>'
               '<borders count="1"><border/></borders>'
               '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
               '<cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
               '<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>'
               '</styleSheet>')
    for i, xml in enumerate(sheets):
        z.writestr(f"xl/worksheets/sheet{i + 1}.xml", xml)
    z.writestr("xl/sharedStrings.xml",
               f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst {NS} uniqueCount="{len(strings)}">'
               + "".join(f'<si><t xml:space="preserve">{escape(t)}</t></si>' for t in strings) + "</sst>")
print("wrote", out)
