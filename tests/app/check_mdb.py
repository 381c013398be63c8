#!/usr/bin/python3
"""Checks that a database holds the tables of a design document as expected, reading the file
with mdb-reader (column names, order, types, text sizes, auto-increment) and mdbtools (NOT NULL
from the Required property, primary keys).

Usage: check_mdb.py EXPECTED.json TYPES MDB ORACLES_DIR [TABLE ...]
  EXPECTED.json  the reading of the design document ({"tables": [...]}, as in the samples)
  TYPES          "default" or a .afa file (CP932) naming the type words
  TABLE ...      only these tables (default: every table of the document)
Prints "OK" or one line per difference.
"""
import json
import os
import re
import subprocess
import sys

ORDER = ["Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency"]
READER_TYPE = {"Text": "text", "AutoNumber": "long", "Date": "datetime", "Integer": "integer",
               "Long": "long", "Single": "float", "Double": "double", "Currency": "currency"}


def type_words(source):
    if source == "default":
        return {t: t for t in ORDER}
    text = open(source, "rb").read().decode("cp932")
    return {t: re.search(f"<{t}>(.*?)</{t}>", text).group(1) for t in ORDER}


def field_type(attr, words):
    key = attr.strip(" \u3000").lower()
    for t in ORDER:
        if words[t].lower() == key:
            return t
    return None


def describe(mdb, oracles):
    out = subprocess.run(["node", os.path.join(oracles, "mdb_reader_dump.mjs"), mdb],
                         capture_output=True, text=True, check=True).stdout
    view = json.loads(out)
    cols = {name: [{"name": c["name"], "type": c["type"], "size": c["size"], "auto": c["autoLong"]}
                   for c in d["columns"]]
            for name, d in view["details"].items()}
    return list(view["details"]), cols


def schema(mdb, table):
    out = subprocess.run(["mdb-schema", "-T", table, mdb, "mysql"],
                         capture_output=True, text=True).stdout
    not_null = []
    for line in out.splitlines():
        m = re.match(r"\s*`([^`]*)`\s.*NOT NULL", line)
        if m:
            not_null.append(m.group(1))
    pk = re.search(r"PRIMARY KEY \(([^)]*)\)", out)
    keys = re.findall(r"`([^`]*)`", pk.group(1)) if pk else []
    return not_null, keys


def main():
    expected_file, types, mdb, oracles = sys.argv[1:5]
    only = sys.argv[5:]
    words = type_words(types)
    expected = json.load(open(expected_file, encoding="utf-8"))["tables"]
    tables, cols = describe(mdb, oracles)
    problems = []
    for t in expected:
        name = t["name"]
        if only and name not in only:
            if name in tables:
                problems.append(f"{name}: created but not asked for")
            continue
        if name not in tables:
            problems.append(f"{name}: missing")
            continue
        want_cols = [f for f in t["fields"] if field_type(f["attr"], words)]
        got = cols.get(name, [])
        if [c["name"] for c in got] != [f["name"] for f in want_cols]:
            problems.append(f"{name}: columns {[c['name'] for c in got]} != {[f['name'] for f in want_cols]}")
            continue
        for f, c in zip(want_cols, got):
            ft = field_type(f["attr"], words)
            if c["type"] != READER_TYPE[ft]:
                problems.append(f"{name}.{f['name']}: type {c['type']} != {READER_TYPE[ft]}")
            if ft == "Text" and c["size"] != 2 * int(f["size"]):
                problems.append(f"{name}.{f['name']}: size {c['size']} bytes != {2 * int(f['size'])}")
            if c["auto"] != (ft == "AutoNumber"):
                problems.append(f"{name}.{f['name']}: auto-increment {c['auto']}")
        not_null, keys = schema(mdb, name)
        want_nn = [f["name"] for f in want_cols if not f["null"]]
        if not_null != want_nn:
            problems.append(f"{name}: NOT NULL {not_null} != {want_nn}")
        if keys != t["primaryKeys"]:
            problems.append(f"{name}: primary key {keys} != {t['primaryKeys']}")
    print("\n".join(problems) if problems else "OK")


if __name__ == "__main__":
    main()
