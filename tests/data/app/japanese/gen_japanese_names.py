#!/usr/bin/python3
"""Writes the design workbook for the Japanese table-name tests, with its layout and reading:

  japanese_names.xlsx       one table per sheet (table name C3, fields from row 6 in columns
                            D name, E type word, F size, G primary-key mark, I NULL-allowed mark)
  japanese_names.edf        the layout (CP932, CR LF): sheets 1-8
  japanese_names.xlsx.json  what the workbook holds; its "tables" are what `xlsdb-cli list --json`
                            must print, and what tests/app/check_mdb.py checks a database against

Tables whose names the Japanese sort order keys exactly: kanji and katakana (社員マスタ), the
prolonged sound mark after kana of three vowels, one of them voiced (コーヒーデータ), kanji only with
a two-field primary key (受注明細), half-width katakana with a voicing mark (ｶﾀﾛｸﾞ). Between them,
names that must be refused: a kanji whose weight is known only to within one (月次論評), an
extension kanji outside JIS X 0208 (髙橋商店), the prolonged sound mark at the start (ーテスト).
Then カタログ, whose key equals ｶﾀﾛｸﾞ's: refused once ｶﾀﾛｸﾞ is there. Last, the middle dot between
kanji (受注・明細) and the ideographic comma before katakana (穀類、シリアル). The order mixes refusals
with tables that are made, so one run over the whole workbook does both in one open database.
Type words are the default ones. Run with /usr/bin/python3; it writes beside itself.
"""
import json
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PK, NULL_OK = "○", "○"

# (table, [(field, type word, size, primary-key mark, NULL-allowed mark)])
SHEETS = [
    ("社員マスタ", [("社員ID", "AutoNumber", "", PK, ""), ("氏名", "Text", "40", "", ""),
                    ("ﾌﾘｶﾞﾅ", "Text", "60", "", NULL_OK), ("入社日", "Date", "", "", ""),
                    ("給与", "Currency", "", "", NULL_OK), ("部署コード", "Integer", "", "", NULL_OK)]),
    ("月次論評", [("ID", "Long", "", PK, ""), ("本文", "Text", "200", "", NULL_OK)]),
    ("コーヒーデータ", [("品番", "Text", "10", PK, ""), ("品名", "Text", "255", "", ""),
                        ("焙煎度", "Integer", "", "", NULL_OK), ("価格", "Long", "", "", NULL_OK),
                        ("酸味", "Single", "", "", NULL_OK), ("評価", "Double", "", "", NULL_OK)]),
    ("髙橋商店", [("ID", "Long", "", PK, ""), ("店名", "Text", "50", "", "")]),
    ("受注明細", [("受注番号", "Long", "", PK, ""), ("明細番号", "Integer", "", PK, ""),
                  ("商品コード", "Text", "20", "", ""), ("数量", "Long", "", "", ""),
                  ("単価", "Currency", "", "", NULL_OK), ("納期", "Date", "", "", NULL_OK)]),
    ("ーテスト", [("ID", "Long", "", PK, "")]),
    ("ｶﾀﾛｸﾞ", [("ｺｰﾄﾞ", "Text", "8", PK, ""), ("ﾒｲｼｮｳ", "Text", "1", "", NULL_OK),
                ("ｶｶﾞｸ", "Double", "", "", NULL_OK)]),
    ("カタログ", [("コード", "Text", "8", PK, "")]),
    ("受注・明細", [("受注番号", "Long", "", PK, ""), ("行", "Integer", "", PK, ""),
                    ("備考", "Text", "100", "", NULL_OK)]),
    ("穀類、シリアル", [("品番", "Text", "10", PK, ""), ("重量", "Double", "", "", NULL_OK)]),
]

LAYOUT = [("StartSheetNo", 1), ("EndSheetNo", len(SHEETS)), ("StartRowFieldDef", 6), ("RowTableName", 3),
          ("ColTableName", 3), ("ColFieldName", 4), ("ColFieldType", 5), ("ColFieldSize", 6),
          ("ColPrimarykey", 7), ("ColNull", 9)]


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


class FixedZip(zipfile.ZipFile):
    """Members get a fixed time stamp, so the workbook is the same bytes on every run."""

    def writestr(self, name, data):
        info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        super().writestr(info, data)


def write_xlsx(path):
    n = len(SHEETS)
    with FixedZip(path, "w") as z:
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
                             for i, (name, _) in enumerate(SHEETS, 1))
                   + '</sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   + "".join(f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>'
                             for i in range(1, n + 1))
                   + '</Relationships>')
        for i, (name, fields) in enumerate(SHEETS, 1):
            z.writestr(f"xl/worksheets/sheet{i}.xml", sheet_xml(name, fields))


def write_layout(path):
    text = "".join(f"<{k}>{v}</{k}>\r\n" for k, v in LAYOUT)
    with open(path, "wb") as f:
        f.write(text.encode("cp932"))


def write_reading(path):
    tables = [{"name": name,
               "fields": [{"name": f, "attr": t, "size": s, "null": bool(n)} for f, t, s, _, n in fields],
               "primaryKeys": [f for f, _, _, pk, _ in fields if pk]}
              for name, fields in SHEETS]
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        json.dump({"workbook": "japanese_names.xlsx", "layoutFile": "japanese_names.edf", "tables": tables},
                  f, ensure_ascii=False, indent=1)
        f.write("\n")


def main():
    write_xlsx(os.path.join(HERE, "japanese_names.xlsx"))
    write_layout(os.path.join(HERE, "japanese_names.edf"))
    write_reading(os.path.join(HERE, "japanese_names.xlsx.json"))


if __name__ == "__main__":
    main()
