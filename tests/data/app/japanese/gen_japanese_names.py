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
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", ".."))
from xlsx_book import grid_cells, write_tag_file, write_xlsx  # noqa: E402

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


def write_book(path):
    write_xlsx(path, [(name, grid_cells(name, fields)) for name, fields in SHEETS])


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
    write_book(os.path.join(HERE, "japanese_names.xlsx"))
    write_tag_file(os.path.join(HERE, "japanese_names.edf"), LAYOUT)
    write_reading(os.path.join(HERE, "japanese_names.xlsx.json"))


if __name__ == "__main__":
    main()
