#!/usr/bin/python3
"""Writes terminal_names.xlsx: names and type words holding control characters and a terminal
escape sequence, in the default layout (sheets 1-4, as gen_failures.py lays them out):

  1 RED<ESC>[31mT   a table name with a colour sequence (refused by the engine: control character)
  2 T_BELL          its field A has the type word "Te<BEL>xt", which matches no notation: the
                    field is reported and skipped, the table is made
  3 行1<LF>行2      a table name of two lines (refused: control character)
  4 T_PLAIN         an ordinary table

The workbook's XML writes the control characters as _xHHHH_, as Excel does.
"""
import os

from gen_failures import HERE, write_book

SHEETS = [
    ("RED_x001B_[31mT", [("ID", "Long", "", "○", "")]),
    ("T_BELL", [("ID", "Long", "", "○", ""), ("A", "Te_x0007_xt", "10", "", "")]),
    ("行1_x000A_行2", [("ID", "Long", "", "○", "")]),
    ("T_PLAIN", [("ID", "Long", "", "○", "")]),
]

if __name__ == "__main__":
    write_book(os.path.join(HERE, "terminal_names.xlsx"), SHEETS)
