#!/usr/bin/python3
"""Benchmark workbook: N sheets x 100 rows x 10 columns, mixed text/number (xlwt, BIFF8).
usage: gen_bench.py [N_SHEETS] [OUT]      default 300 -> ./bench300.xls
Layout per sheet (row 1 = header texts):
  col1 Japanese text (unique per row), col2 ascii name, col3 type name (few distinct values),
  col4 int length, col5 float, col6 int 0/1 flag, col7 text with spaces, col8 number with
  "00000" format, col9 long-ish Japanese description, col10 empty in odd rows (gaps)."""
import os, sys
import xlwt

n = int(sys.argv[1]) if len(sys.argv) > 1 else 300
out = sys.argv[2] if len(sys.argv) > 2 else f"bench{n}.xls"
wb = xlwt.Workbook(encoding="utf-8")
zero5 = xlwt.easyxf(num_format_str="00000")
types = ["VARCHAR", "INTEGER", "DATE", "DECIMAL", "TEXT"]
for s in range(n):
    ws = wb.add_sheet(f"テーブル{s + 1:04d}")
    for c, h in enumerate(["項目名", "name", "type", "len", "scale", "pk", "note", "code", "説明", "extra"]):
        ws.write(0, c, h)
    for r in range(1, 100):
        ws.write(r, 0, f"項目{s}_{r}")
        ws.write(r, 1, f"field_{r}")
        ws.write(r, 2, types[r % 5])
        ws.write(r, 3, r * 2)
        ws.write(r, 4, r / 8)
        ws.write(r, 5, r % 2)
        ws.write(r, 6, f"  note {r}  ")
        ws.write(r, 7, r, zero5)
        ws.write(r, 8, f"これはシート{s}の{r}行目の説明です")
        if r % 2 == 0:
            ws.write(r, 9, f"x{r}")
wb.save(out)
print("wrote", out)
