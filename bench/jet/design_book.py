#!/usr/bin/python3
"""A design workbook of N table sheets for `xlsdb-cli create` (xlwt, BIFF8), in the initial layout:
table name in C3, fields from row 6 with name (D), type word (E), size (F), primary-key mark (G)
and NULL mark (I). Each table has the 10 fields of bench_jet_create: an AutoNumber primary key,
Text(50) x3, Date, Integer, Long, Single, Double, Currency; every other field NOT NULL.
usage: design_book.py [N_SHEETS] [OUT.xls] [OUT.edf]   default 1000 -> ./design1000.xls, ./design1000.edf
The .edf is the initial layout with the last sheet moved to N."""
import sys
import xlwt

n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
out = sys.argv[2] if len(sys.argv) > 2 else f"design{n}.xls"
edf = sys.argv[3] if len(sys.argv) > 3 else f"design{n}.edf"
fields = [("FIELD_0", "AutoNumber", ""), ("FIELD_1", "Text", 50), ("FIELD_2", "Text", 50), ("FIELD_3", "Date", ""),
          ("FIELD_4", "Integer", ""), ("FIELD_5", "Long", ""), ("FIELD_6", "Single", ""), ("FIELD_7", "Double", ""),
          ("FIELD_8", "Currency", ""), ("FIELD_9", "Text", 50)]
wb = xlwt.Workbook(encoding="utf-8")
for s in range(n):
    ws = wb.add_sheet(f"T_BENCH_{s}")
    ws.write(0, 1, "テーブル定義書")
    ws.write(2, 1, "テーブル名")
    ws.write(2, 2, f"T_BENCH_{s}")
    for c, h in enumerate(["No.", "論理名", "項目名", "型", "桁数", "PK", "初期値", "NULL", "備考"]):
        ws.write(4, c + 1, h)
    for i, (name, word, size) in enumerate(fields):
        r = 5 + i
        ws.write(r, 1, i + 1)
        ws.write(r, 2, f"項目{i}")
        ws.write(r, 3, name)
        ws.write(r, 4, word)
        if size != "":
            ws.write(r, 5, size)
        if i == 0:
            ws.write(r, 6, "○")
        if i % 2 == 1:
            ws.write(r, 8, "○")  # NULL allowed
wb.save(out)
with open(edf, "w", encoding="utf-8") as f:
    f.write(f"<StartSheetNo>1</StartSheetNo>\n<EndSheetNo>{n}</EndSheetNo>\n<StartRowFieldDef>6</StartRowFieldDef>\n"
            "<RowTableName>3</RowTableName>\n<ColTableName>3</ColTableName>\n<ColFieldName>4</ColFieldName>\n"
            "<ColFieldType>5</ColFieldType>\n<ColFieldSize>6</ColFieldSize>\n<ColPrimarykey>7</ColPrimarykey>\n"
            "<ColNull>9</ColNull>\n")
print("wrote", out, "and", edf)
