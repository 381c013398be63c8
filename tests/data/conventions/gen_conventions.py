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

Run: /usr/bin/python3 gen_conventions.py   (writes into this folder)
"""
import os
import zipfile

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


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


DOCS = {"sql_types": sql_types, "template": template, "multi": multi, "sheetname": sheetname, "dictionary": dictionary}

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
    "sheetname": dict(StartSheetNo=1, EndSheetNo=2, StartRowFieldDef=2, RowTableName=1, ColTableName=1,
                      ColFieldName=1, ColFieldType=2, ColFieldSize=3, ColPrimarykey=4, ColNull=5,
                      MarkYes="○", MarkNo="-", TableNameFrom="sheet"),
}

# Type words: the built-in dictionary and WORD(N); sheetname uses the default words.
AFA = {"sql_types": True, "template": True, "multi": True, "dictionary": True}


def write_tag_file(path, pairs):
    with open(path, "wb") as f:
        for k, v in pairs:
            f.write(f"<{k}>{v}</{k}>\r\n".encode("cp932"))


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


def col_name(c):
    s = ""
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def esc(t):
    return t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
RNS = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
W = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def sheet_xml(cells):
    rows = {}
    for (r, c), v in cells.items():
        rows.setdefault(r, []).append((c, v))
    out = []
    for r in sorted(rows):
        cs = []
        for c, v in sorted(rows[r]):
            ref = f"{col_name(c)}{r}"
            if isinstance(v, (int, float)):
                cs.append(f'<c r="{ref}"><v>{v}</v></c>')
            else:
                cs.append(f'<c r="{ref}" t="inlineStr"><is><t xml:space="preserve">{esc(v)}</t></is></c>')
        out.append(f'<row r="{r}">' + "".join(cs) + "</row>")
    return f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet {NS}><sheetData>{"".join(out)}</sheetData></worksheet>'


def write_xlsx(path, sheets):
    n = len(sheets)
    files = {
        "[Content_Types].xml": (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
            + "".join(f'<Override PartName="/xl/worksheets/sheet{i + 1}.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' for i in range(n))
            + '</Types>'),
        "_rels/.rels": (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            f'<Relationship Id="rId1" Type="{W}/officeDocument" Target="xl/workbook.xml"/></Relationships>'),
        "xl/workbook.xml": (
            f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook {NS} {RNS}><sheets>'
            + "".join(f'<sheet name="{esc(name)}" sheetId="{i + 1}" r:id="rId{i + 1}"/>' for i, (name, _) in enumerate(sheets))
            + '</sheets></workbook>'),
        "xl/_rels/workbook.xml.rels": (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            + "".join(f'<Relationship Id="rId{i + 1}" Type="{W}/worksheet" Target="worksheets/sheet{i + 1}.xml"/>' for i in range(n))
            + '</Relationships>'),
    }
    for i, (_, cells) in enumerate(sheets):
        files[f"xl/worksheets/sheet{i + 1}.xml"] = sheet_xml(cells)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            z.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), text.encode("utf-8"), zipfile.ZIP_DEFLATED)


if __name__ == "__main__":
    for base, make in DOCS.items():
        sheets = make()
        write_xls(os.path.join(HERE, base + ".xls"), sheets)
        write_xlsx(os.path.join(HERE, base + ".xlsx"), sheets)
        write_tag_file(os.path.join(HERE, base + ".edf"), EDF[base].items())
        if AFA.get(base):
            write_afa(os.path.join(HERE, base + ".afa"), base == "dictionary")
    print("wrote", ", ".join(DOCS))
