#!/usr/bin/env bash
# The main job on the bundled examples: builds, makes a new database, creates every table of the
# two sample design documents in it, writes their HTML documentation, and shows what was made.
# Usage: scripts/demo.sh [OUTPUT_FOLDER]   (default: a new folder under /tmp)
# With XLSDB_CLI set (for example /usr/bin/xlsdb-cli) it runs that program instead of building one,
# with XLSDB_EXAMPLES (for example /usr/share/xlsdb/examples) the examples found there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${XLSDB_CLI:-}" ]; then
  cli=$XLSDB_CLI
else
  "$here/scripts/build.sh" xlsdb-cli
  cli="$here/build/bin/xlsdb-cli"
fi
ex=${XLSDB_EXAMPLES:-$here/examples}

if [ $# -ge 1 ]; then
  out=$1
  mkdir -p "$out"
else
  out=$(mktemp -d /tmp/xlsdb-demo.XXXXXX)
fi
out=$(cd "$out" && pwd)
db="$out/demo.mdb"
if [ -e "$db" ]; then
  echo "demo: $db already exists; choose an empty folder" >&2
  exit 1
fi

echo "== New database"
"$cli" newdb "$db"

echo
echo "== Tables of sales_design.xls (layout design_with_cover.edf, default type words)"
"$cli" create --layout "$ex/design_with_cover.edf" "$ex/sales_design.xls" "$db"

echo
echo "== Tables of hr_design_ja.xls (layout default.edf, type words japanese.afa)"
"$cli" create --layout "$ex/default.edf" --types "$ex/japanese.afa" "$ex/hr_design_ja.xls" "$db"

echo
echo "== HTML documentation"
mkdir -p "$out/html/sales" "$out/html/hr"
"$cli" html --layout "$ex/design_with_cover.edf" "$ex/sales_design.xls" "$out/html/sales"
"$cli" html --layout "$ex/default.edf" "$ex/hr_design_ja.xls" "$out/html/hr"

echo
echo "== What was made in $out"
echo "Database $db, tables (system tables included):"
"$cli" tables "$db" | sed 's/^/  /'
if command -v mdb-schema >/dev/null 2>&1; then
  echo
  echo "As mdbtools reads it:"
  mdb-schema --not-null --indexes "$db" mysql 2>/dev/null | grep -v '^--' | sed '/^$/d; s/^/  /'
fi
echo
echo "HTML pages (open index.htm in a browser):"
(cd "$out" && find html -type f | sort | sed 's/^/  /')
