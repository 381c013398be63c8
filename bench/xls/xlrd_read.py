#!/usr/bin/python3
"""Reads the benchmark workbook with xlrd the way the design reader does: for every sheet the
table-name cell (row 1, column 2), then the five field cells of each row from row 2 (columns 2, 3,
4, 6, 10) until a blank field name or row 99, each cell as text.
Prints one line: cpu_seconds wall_seconds peak_kib tables fields (times of the reading alone,
without the interpreter's start and the import)."""
import resource
import sys
import time

import xlrd

t0 = time.perf_counter()
c0 = time.process_time()
book = xlrd.open_workbook(sys.argv[1], on_demand=True)
tables = fields = 0


def text(sheet, row, col):
    if row > sheet.nrows or col > sheet.ncols:
        return ""
    v = sheet.cell_value(row - 1, col - 1)
    if isinstance(v, float):
        return repr(int(v)) if v.is_integer() else repr(v)
    return str(v)


for i in range(book.nsheets):
    sheet = book.sheet_by_index(i)
    if text(sheet, 1, 2).strip(" \u3000"):
        tables += 1
        for r in range(2, 100):
            name = text(sheet, r, 2)
            if not name.strip(" \u3000"):
                break
            for c in (3, 4, 6, 10):
                text(sheet, r, c)
            fields += 1
    book.unload_sheet(i)
book.release_resources()
elapsed = time.perf_counter() - t0
cpu = time.process_time() - c0
print(f"{cpu:.6f} {elapsed:.6f} {resource.getrusage(resource.RUSAGE_SELF).ru_maxrss} {tables} {fields}")
