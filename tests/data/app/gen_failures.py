#!/usr/bin/python3
"""Writes failures.xlsx: one table per sheet, default layout (table name C3, fields from row 6 in
columns D name, E type word, F size, G PK mark, I NULL mark), for the builder's failure paths:

  1 T_UNKNOWN  type word " 文字 " matches no notation; the other fields are created
  2 T_NOSIZE   a Text field without size is skipped without a message
  3 T_BADSIZE  a Text field of size "abc"
  4 item       a name the sample database already holds
  5 T_PKSKIP   the primary key is on a skipped field: the whole table is refused
  6 T_EMPTY    no fields
  7 T_TWICE    created
  8 T_TWICE    the same name again
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from xlsx_book import grid_cells, write_xlsx  # noqa: E402

SHEETS = [
    ("T_UNKNOWN", [("ID", "Long", "", "○", ""), ("A", " 文字 ", "10", "", ""), ("B", "Text", "20", "", "○")]),
    ("T_NOSIZE", [("ID", "Long", "", "○", ""), ("NAME", "Text", "", "", "")]),
    ("T_BADSIZE", [("ID", "Long", "", "", ""), ("CODE", "Text", "abc", "", "")]),
    ("item", [("X", "Long", "", "", "")]),
    ("T_PKSKIP", [("ID", "Text", "", "○", ""), ("N", "Long", "", "", "")]),
    ("T_EMPTY", []),
    ("T_TWICE", [("A", "Long", "", "○", "")]),
    ("T_TWICE", [("B", "Long", "", "", "")]),
]


def write_book(path, sheets):
    """Sheets named S1, S2, ... (the table names are in the cells)."""
    write_xlsx(path, [(f"S{i}", grid_cells(name, fields)) for i, (name, fields) in enumerate(sheets, 1)], stamp=None)


def main():
    write_book(os.path.join(HERE, "failures.xlsx"), SHEETS)


if __name__ == "__main__":
    main()
