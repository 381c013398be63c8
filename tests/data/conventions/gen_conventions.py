#!/usr/bin/python3
"""Writes design documents in the conventions real teams use, each as .xls (xlwt) and .xlsx
(written by hand), with the layout (.edf) and type words (.afa) a person would write for them.

  sql_types   the classic grid (name C3, fields from row 6 in D E F G I) with database type words:
              VARCHAR(20) with the size in the type cell, NUMBER(5, 2), INT, BIGINT, 文字列, 数値,
              日付, 金額, boolean, text ...; a NOT NULL column marked ○ / ×; the key marked ○, × or -;
              a third table keyed on a long text field
  template    the widely used template: cover and history sheets first; per table sheet the label
              物理テーブル名 with the name beside it, a header row (No, 論理名, 物理名, データ型,
              Not Null, デフォルト, 備考) whose Not Null column says "Yes (PK)" for the key, and an
              index section below the fields
  multi       two tables per sheet, each under a テーブル名 label, positions shifting between
              sheets; size and decimal places in two columns (桁数 / 小数); the key marked only in
              the remarks column ("(PK)"); no null column; a table-list sheet first
  sheetname   the table name is the sheet's name; header row カラム名 / 型 / 長さ / PK / NULL
              with NULL meaning "may be null" and marks ○ and -
  labels      every built-in header label (null column: "may be null"), table-name label and mark
              word once, one table per sheet at shifting places
  ambiguous   what detect must leave to a person: a table name beside a label on one sheet and
              none on the other, null columns of both meanings, a mark that is neither yes nor no
              (no layout: detect gives none)
  labels_remarks  every remarks label and not-null label, the key marked in remarks by each key
              word, table names from the sheets' names, and between the tables a sheet named by
              each word that marks a sheet without a table (cover, history, list ...)

Run: /usr/bin/python3 gen_conventions.py   (writes into this folder)
"""
import os
import sys

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from xlsx_book import write_tag_file, write_xlsx  # noqa: E402

def put_rows(cells, top, left, rows):
    for i, row in enumerate(rows):
        for j, v in enumerate(row):
            if v is not None and v != "":
                cells[(top + i, left + j)] = v


# ---------------------------------------------------------------- sql_types
def sql_types():
    def sheet(name, fields):
        c = {(1, 2): "テーブル定義書", (3, 2): "テーブル名", (3, 3): name,
             (5, 4): "カラム名", (5, 5): "型", (5, 6): "桁", (5, 7): "PK", (5, 9): "NOT NULL"}
        put_rows(c, 6, 4, [(n, t, s, pk, None, nn) for (n, t, s, pk, nn) in fields])
        return c
    customer = sheet("CUSTOMER", [
        ("CUSTOMER_ID", "INT", "", "○", "○"),
        ("NAME", "VARCHAR(40)", "", "×", "○"),
        ("KANA", "varchar2", 60, "-", "×"),
        ("BIRTHDAY", "date", "", "", ""),
        ("POINTS", "NUMBER(7)", "", "", "×"),
        ("RATE", "NUMBER(5, 2)", "", "", ""),
        ("NOTE", "text", "", "", ""),
        ("ACTIVE", "boolean", "", "", "○"),
    ])
    order = sheet("ORDERS", [
        ("ORDER_NO", "BIGINT", "", "○", "○"),
        ("CUSTOMER_ID", "INT(7)", "", "", "○"),
        ("ORDERED_AT", "timestamp", "", "", "○"),
        ("AMOUNT", "金額", "", "", "×"),
        ("MEMO", "文字列", 200, "", ""),
        ("QTY", "数値", 4, "", ""),
        ("WEIGHT", "数値", 6, "", ""),
        ("LABEL", "character varying(10)", "", "", ""),
    ])
    # A key on long text, which Access keeps no index over: the table is refused, at that mark.
    notes = sheet("NOTES", [
        ("NOTE_ID", "INT", "", "○", "○"),
        ("BODY", "text", "", "○", "×"),
    ])
    return [("CUSTOMER", customer), ("ORDERS", order), ("NOTES", notes)]


# ---------------------------------------------------------------- template
def template():
    cover = {(2, 2): "データベース設計書", (4, 2): "システム名", (4, 3): "受注管理"}
    history = {(1, 1): "改訂履歴", (2, 1): "版", (2, 2): "日付", (2, 3): "内容", (3, 1): "1.0", (3, 3): "初版"}

    def sheet(logical, physical, fields, indexes):
        c = {(2, 1): "テーブル定義書", (5, 1): "論理テーブル名", (5, 3): logical,
             (6, 1): "物理テーブル名", (6, 3): physical, (7, 1): "備考",
             (9, 1): "No", (9, 2): "論理名", (9, 3): "物理名", (9, 4): "データ型", (9, 5): "Not Null",
             (9, 6): "デフォルト", (9, 7): "備考"}
        put_rows(c, 10, 1, [(i + 1,) + f for i, f in enumerate(fields)])
        r = 10 + len(fields) + 2
        c[(r, 1)] = "インデックス情報"
        c[(r + 1, 1)] = "No"
        c[(r + 1, 2)] = "インデックス名"
        c[(r + 1, 3)] = "カラムリスト"
        c[(r + 1, 4)] = "主キー"
        put_rows(c, r + 2, 1, [(i + 1,) + x for i, x in enumerate(indexes)])
        return c
    users = sheet("利用者", "m_users", [
        ("利用者ID", "user_id", "bigserial", "Yes (PK)", "", ""),
        ("ログイン名", "login", "varchar(32)", "Yes", "", ""),
        ("表示名", "display_name", "varchar(64)", "", "", ""),
        ("登録日時", "created_at", "timestamp", "Yes", "now()", ""),
        ("有効", "enabled", "boolean", "Yes", "true", ""),
    ], [("m_users_PKC", "user_id", "Yes")])
    lines = sheet("受注明細", "t_order_lines", [
        ("受注ID", "order_id", "integer", "Yes (PK)", "", ""),
        ("行番号", "line_no", "smallint", "Yes (PK)", "", ""),
        ("単価", "unit_price", "numeric(10,2)", "Yes", "", ""),
        ("数量", "quantity", "integer", "", "", ""),
    ], [("t_order_lines_PKC", "order_id,line_no", "Yes")])
    return [("表紙", cover), ("改訂履歴", history), ("m_users", users), ("t_order_lines", lines)]


# ---------------------------------------------------------------- multi
def multi():
    listing = {(1, 1): "テーブル一覧", (2, 1): "No", (2, 2): "テーブル名", (3, 1): 1, (3, 2): "ITEM",
               (4, 1): 2, (4, 2): "STOCK", (5, 1): 3, (5, 2): "PRICE"}

    def table(c, top, left, name, fields):
        c[(top, left)] = "テーブル名"
        c[(top, left + 1)] = name
        put_rows(c, top + 2, left, [("項目名", "データ型", "桁数", "小数", "備考")])
        put_rows(c, top + 3, left, fields)
        return top + 3 + len(fields)
    s1 = {}
    end = table(s1, 2, 2, "ITEM", [
        ("ITEM_CD", "CHAR", 8, "", "(PK)"),
        ("ITEM_NAME", "VARCHAR", 50, "", ""),
        ("UNIT_WEIGHT", "DECIMAL", 7, 3, "kg"),
    ])
    table(s1, end + 3, 2, "STOCK", [
        ("ITEM_CD", "CHAR", 8, "", "primary key"),
        ("WAREHOUSE", "CHAR", 3, "", "PK"),
        ("QTY", "DECIMAL", 9, 0, ""),
    ])
    s2 = {}
    table(s2, 5, 4, "PRICE", [
        ("ITEM_CD", "CHAR", 8, "", "主キー"),
        ("PRICE", "DECIMAL", 12, 2, "税抜"),
        ("VALID_FROM", "DATE", "", "", ""),
    ])
    return [("テーブル一覧", listing), ("在庫", s1), ("価格", s2)]


# ---------------------------------------------------------------- sheetname
def sheetname():
    def sheet(fields):
        c = {(1, 1): "カラム名", (1, 2): "型", (1, 3): "長さ", (1, 4): "PK", (1, 5): "NULL"}
        put_rows(c, 2, 1, fields)
        return c
    return [
        ("DEPT", sheet([("DEPT_ID", "Long", "", "○", "-"), ("DEPT_NAME", "Text", 30, "-", "-"),
                        ("PARENT_ID", "Long", "", "-", "○")])),
        ("EMP", sheet([("EMP_ID", "AutoNumber", "", "○", ""), ("DEPT_ID", "Long", "", "", "○"),
                       ("SALARY", "Currency", "", "", "○")])),
    ]


# ---------------------------------------------------------------- labels
# Every built-in header label, table-name label and mark word once in a document (the reading test
# checks that none is missing): one table per sheet, the header row shifting between sheets, each
# sheet with the next label of each part. The copies below are the built-in lists' entries.
NAME_LABELS = ["物理名", "物理名称", "カラム名", "カラム物理名", "カラムID", "列名", "フィールド名", "項目名", "項目ID",
               "物理項目名", "属性名", "column name", "column", "field name", "field", "physical name", "name"]
TYPE_LABELS = ["型", "データ型", "データタイプ", "型名", "属性", "type", "data type", "datatype"]
SIZE_LABELS = ["桁", "桁数", "サイズ", "長さ", "長", "精度", "length", "size", "digits", "precision", "len"]
KEY_LABELS = ["PK", "主キー", "キー", "primary key", "key"]
NULLABLE_LABELS = ["NULL", "NULL可", "NULL許可", "NULL許容", "nullable"]
NOT_NULL_LABELS = ["NOT NULL", "必須", "NULL不可", "required"]
DECIMALS_LABELS = ["小数", "小数桁", "小数部", "小数桁数", "小数点以下桁数", "scale", "decimals", "decimal places"]
REMARKS_LABELS = ["備考", "説明", "摘要", "remarks", "remark", "note", "notes", "comment", "description"]
TABLE_LABELS = ["テーブル名", "物理テーブル名", "テーブル物理名", "物理エンティティ名", "テーブルID", "Table name", "Table"]
YES_WORDS = ["○", "〇", "◯", "●", "◎", "Y", "Yes", "PK", "✓", "✔", "レ", "TRUE", "NOT NULL", "NULL不可", "必須"]
NO_WORDS = ["×", "✕", "-", "ー", "－", "―", "N", "No", "なし", "無", "FALSE", "NULL", "任意"]
KEY_WORDS = ["PK", "PRIMARY KEY", "主キー"]
NON_TABLE_SHEETS = ["表紙", "履歴", "目次", "一覧", "ER図", "E-R図", "ER", "概要", "索引", "cover", "history", "revision",
                    "contents", "index", "list"]


def labels():
    # Each yes word marks a key once; in the null column a key word would say "key" as well.
    key_yes = iter(YES_WORDS * 2)
    null_yes = iter([w for w in YES_WORDS if w not in KEY_WORDS] * 2)
    no = iter(NO_WORDS * 4)
    sheets = []
    for k, name_label in enumerate(NAME_LABELS):
        top, left = 2 + k % 3, 1 + k % 2
        c = {(top, left): TABLE_LABELS[k % len(TABLE_LABELS)], (top, left + 1): f"LBL{k + 1:02d}"}
        put_rows(c, top + 2, left, [(name_label, TYPE_LABELS[k % len(TYPE_LABELS)], SIZE_LABELS[k % len(SIZE_LABELS)],
                                     KEY_LABELS[k % len(KEY_LABELS)], NULLABLE_LABELS[k % len(NULLABLE_LABELS)],
                                     DECIMALS_LABELS[k % len(DECIMALS_LABELS)])])
        # ID: key, not null; NAME: no key, may be null; RATE: no mark in either column.
        put_rows(c, top + 3, left, [("ID", "Long", "", next(key_yes), next(no), ""),
                                    ("NAME", "Text", 20, next(no), next(null_yes), ""),
                                    ("RATE", "Double", 5, "", "", 2)])
        sheets.append((f"LBL{k + 1:02d}", c))
    return sheets


def labels_remarks():
    # No key column: the key is marked in the remarks column; the null column says "not null";
    # the table name is the sheet's name; sheets without a table stand between the tables.
    sheets = []
    others = iter(NON_TABLE_SHEETS)
    for k, remarks_label in enumerate(REMARKS_LABELS):
        top = 1 + k % 2
        c = {}
        put_rows(c, top, 1, [(NAME_LABELS[k], TYPE_LABELS[k % len(TYPE_LABELS)], SIZE_LABELS[k % len(SIZE_LABELS)],
                              NOT_NULL_LABELS[k % len(NOT_NULL_LABELS)], remarks_label)])
        put_rows(c, top + 1, 1, [("CODE", "Text", 8, "○", f"({KEY_WORDS[k % len(KEY_WORDS)]})"),
                                 ("LABEL", "Text", 40, "×", "表示用")])
        sheets.append((f"REM{k + 1}", c))
        # Two between each pair of tables, one before the last: the tables stand first and last.
        for _ in range(0 if k == len(REMARKS_LABELS) - 1 else 1 if k == len(REMARKS_LABELS) - 2 else 2):
            other = next(others)
            sheets.append((other, {(1, 1): other, (3, 1): "版", (3, 2): "日付"}))
    return sheets


# ---------------------------------------------------------------- ambiguous
def ambiguous():
    # Three things a person must decide, which detect leaves undecided: one table named beside a
    # label and one only by its sheet; a null column headed NULL (may be null) on one sheet and
    # NOT NULL on the other; a mark "?" that is neither yes nor no.
    a = {(1, 1): "テーブル名", (1, 2): "ORDERS"}
    put_rows(a, 3, 1, [("物理名", "データ型", "桁数", "PK", "NULL"),
                       ("ORDER_ID", "Long", "", "○", "×"),
                       ("NOTE", "Text", 50, "×", "?")])
    b = {}
    put_rows(b, 2, 1, [("物理名", "データ型", "桁数", "PK", "NOT NULL"),
                       ("ITEM_ID", "Long", "", "○", "○")])
    return [("ORDERS", a), ("ITEMS", b)]


# ---------------------------------------------------------------- dictionary
# Every word of the built-in type dictionary once, with the type it must give (column F). The
# reading test checks that no dictionary word is missing here.
DICTIONARY = (
    [(w, 20, "", "Text") for w in ("varchar", "varchar2", "nvarchar", "nvarchar2", "char", "nchar", "character",
                                   "character varying", "string", "文字列", "文字", "テキスト", "VCH", "CHR")]
    + [(w, "", "", "AutoNumber") for w in ("serial", "serial4", "bigserial", "identity", "autoincrement",
                                           "auto_increment", "counter", "オートナンバー", "連番")]
    + [(w, "", "", "Date") for w in ("date", "datetime", "datetime2", "smalldatetime", "timestamp",
                                     "timestamp with time zone", "timestamp without time zone", "time", "日付",
                                     "日時", "日付/時刻", "日付/時刻型", "時刻", "年月日", "DT")]
    + [(w, "", "", "Integer") for w in ("smallint", "int2", "tinyint", "short")]
    + [(w, "", "", "Long") for w in ("int", "integer", "int4", "mediumint", "整数", "長整数", "long")]
    + [(w, "", "", "Double") for w in ("bigint", "int8", "float", "float8", "double", "double precision",
                                       "binary_double", "実数", "倍精度", "倍精度浮動小数点型")]
    + [(w, "", "", "Single") for w in ("real", "float4", "single", "binary_float", "単精度", "単精度浮動小数点型")]
    + [("number", 5, 2, "Double"), ("numeric", 4, "", "Integer"), ("decimal", 9, 0, "Long"), ("dec", "", "", "Double"),
       ("数値", 12, "", "Double"), ("NUM", 3, "", "Integer")]
    + [(w, "", "", "Currency") for w in ("money", "smallmoney", "currency", "金額", "通貨")]
    + [(w, "", "", "YesNo") for w in ("boolean", "bool", "bit", "yes/no", "真偽", "真偽値", "論理", "論理値", "ブール")]
    + [(w, "", "", "Memo") for w in ("text", "ntext", "clob", "nclob", "longtext", "mediumtext", "long varchar",
                                     "memo", "長いテキスト", "メモ")]
    + [("varchar", 300, "", "Memo")]
)


def dictionary():
    c = {(1, 1): "テーブル名", (1, 2): "DICT",
         (3, 1): "物理名", (3, 2): "データ型", (3, 3): "桁数", (3, 4): "小数", (3, 5): "期待する型"}
    put_rows(c, 4, 1, [(f"F{i + 1:03d}", w, size, dec, typ) for i, (w, size, dec, typ) in enumerate(DICTIONARY)])
    return [("DICT", c)]


DOCS = {"sql_types": sql_types, "template": template, "multi": multi, "sheetname": sheetname, "dictionary": dictionary,
        "labels": labels, "labels_remarks": labels_remarks, "ambiguous": ambiguous}

EDF = {
    # The classic grid with a NOT NULL column and mark words.
    "sql_types": dict(StartSheetNo=1, EndSheetNo=3, StartRowFieldDef=6, RowTableName=3, ColTableName=3,
                      ColFieldName=4, ColFieldType=5, ColFieldSize=6, ColPrimarykey=7, ColNull=9,
                      NullMeans="notnull", MarkYes="○", MarkNo="×|-"),
    "template": dict(StartSheetNo=1, EndSheetNo=4, StartRowFieldDef=10, RowTableName=6, ColTableName=3,
                     ColFieldName=3, ColFieldType=4, ColFieldSize=0, ColPrimarykey=0, ColNull=5,
                     NullMeans="notnull", MarkYes="Yes", KeyAlsoIn="null", TableNameFrom="label",
                     TableNameLabels="物理テーブル名", HeaderName="物理名", HeaderType="データ型",
                     HeaderNull="Not Null"),
    "multi": dict(StartSheetNo=1, EndSheetNo=3, StartRowFieldDef=1, RowTableName=1, ColTableName=1,
                  ColFieldName=1, ColFieldType=2, ColFieldSize=3, ColPrimarykey=0, ColNull=0,
                  NullMeans="notnull", KeyAlsoIn="remarks", TableNameFrom="label", TableNameLabels="テーブル名",
                  HeaderName="項目名", HeaderType="データ型", HeaderSize="桁数", HeaderDecimals="小数",
                  HeaderRemarks="備考"),
    "dictionary": dict(StartSheetNo=1, EndSheetNo=1, StartRowFieldDef=4, RowTableName=1, ColTableName=2,
                       ColFieldName=1, ColFieldType=2, ColFieldSize=3, ColPrimarykey=0, ColNull=0,
                       HeaderName="物理名", HeaderType="データ型", HeaderSize="桁数", HeaderDecimals="小数",
                       HeaderRemarks="期待する型"),
    # Header labels: every built-in label of each part; mark words: every built-in word.
    "labels": dict(StartSheetNo=1, EndSheetNo=len(NAME_LABELS), StartRowFieldDef=1, RowTableName=1, ColTableName=1,
                   ColFieldName=1, ColFieldType=2, ColFieldSize=3, ColPrimarykey=4, ColNull=5,
                   MarkYes="|".join(YES_WORDS), MarkNo="|".join(NO_WORDS), TableNameFrom="label",
                   TableNameLabels="|".join(TABLE_LABELS), HeaderName="|".join(NAME_LABELS),
                   HeaderType="|".join(TYPE_LABELS), HeaderSize="|".join(SIZE_LABELS),
                   HeaderPrimaryKey="|".join(KEY_LABELS), HeaderNull="|".join(NULLABLE_LABELS),
                   HeaderDecimals="|".join(DECIMALS_LABELS)),
    "labels_remarks": dict(StartSheetNo=1, EndSheetNo=len(REMARKS_LABELS) + len(NON_TABLE_SHEETS), StartRowFieldDef=1,
                           RowTableName=1, ColTableName=1, ColFieldName=1, ColFieldType=2, ColFieldSize=3,
                           ColPrimarykey=0, ColNull=4, NullMeans="notnull", MarkYes="○", MarkNo="×",
                           KeyAlsoIn="remarks", TableNameFrom="sheet", HeaderName="|".join(NAME_LABELS[:9]),
                           HeaderType="|".join(TYPE_LABELS), HeaderSize="|".join(SIZE_LABELS[:9]),
                           HeaderNull="|".join(NOT_NULL_LABELS), HeaderRemarks="|".join(REMARKS_LABELS)),
    "sheetname": dict(StartSheetNo=1, EndSheetNo=2, StartRowFieldDef=2, RowTableName=1, ColTableName=1,
                      ColFieldName=1, ColFieldType=2, ColFieldSize=3, ColPrimarykey=4, ColNull=5,
                      MarkYes="○", MarkNo="-", TableNameFrom="sheet"),
}

# Type words: the built-in dictionary and WORD(N); sheetname uses the default words.
AFA = {"sql_types": True, "template": True, "multi": True, "dictionary": True}


def write_afa(path, dictionary_only=False):
    names = ["Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency"]
    if dictionary_only:
        # No notation of its own: every word is the dictionary's.
        write_tag_file(path, [(n, "") for n in names] + [("Dictionary", "1"), ("SizeInType", "1")])
        return
    # SQL's INTEGER is 32-bit: the Integer type is named by SMALLINT here.
    pairs = [(n, n) for n in names]
    pairs[3] = ("Integer", "smallint")
    # TEXT is long text in these documents: the Text type is named by VARCHAR.
    pairs[0] = ("Text", "varchar")
    write_tag_file(path, pairs + [("Dictionary", "1"), ("SizeInType", "1")])


# ---------------------------------------------------------------- writers
def write_xls(path, sheets):
    wb = xlwt.Workbook(encoding="utf-8")
    for name, cells in sheets:
        ws = wb.add_sheet(name)
        for (r, c), v in cells.items():
            ws.write(r - 1, c - 1, v)
    wb.save(path)


if __name__ == "__main__":
    for base, make in DOCS.items():
        sheets = make()
        write_xls(os.path.join(HERE, base + ".xls"), sheets)
        write_xlsx(os.path.join(HERE, base + ".xlsx"), sheets)
        if base in EDF:
            write_tag_file(os.path.join(HERE, base + ".edf"), EDF[base].items())
        if AFA.get(base):
            write_afa(os.path.join(HERE, base + ".afa"), base == "dictionary")
    print("wrote", ", ".join(DOCS))
