#!/usr/bin/python3
"""Writes before.xlsx and after.xlsx: the same three tables (default layout: table name C3, fields
from row 6 in columns D name, E type word, F size, G PK mark, I NULL mark), where after.xlsx
changes what the comparison with a database made from before.xlsx must find:

  customer  NAME size 50 -> 80; NOTE removed; EMAIL (Text 100) added
  orders    AMOUNT Currency -> Double; primary key ORDER_ID -> ORDER_ID, CUSTOMER_ID
  product   unchanged
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", ".."))
from xlsx_book import grid_cells, write_xlsx  # noqa: E402

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


def write(path, sheets):
    write_xlsx(path, [(name, grid_cells(name, fields)) for name, fields in sheets], stamp=None)


if __name__ == "__main__":
    write(os.path.join(HERE, "before.xlsx"), BEFORE)
    write(os.path.join(HERE, "after.xlsx"), AFTER)
