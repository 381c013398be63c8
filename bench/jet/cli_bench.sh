#!/usr/bin/env bash
# `xlsdb-cli create` on a workbook of N design sheets (default 1,000; made by design_book.py), into a
# new database or into a copy of a sample database; prints the whole process's wall and CPU time,
# tables per second and peak memory (GNU time), best wall time of R runs (default 3).
# Usage: bench/jet/cli_bench.sh [N] [new|SAMPLE.mdb] [R]   (after building xlsdb-cli into build/bin)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
n=${1:-1000}
target=${2:-new}
runs=${3:-3}
cli=${XLSDB_CLI:-$here/build/bin/xlsdb-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/bench/jet/design_book.py" "$n" "$work/book.xls" "$work/book.edf" >/dev/null
best=""
for ((r = 1; r <= runs; r++)); do
    rm -f "$work/db.mdb"
    if [ "$target" = new ]; then "$cli" newdb "$work/db.mdb" >/dev/null; else cp "$target" "$work/db.mdb"; fi
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$cli" create --layout "$work/book.edf" "$work/book.xls" "$work/db.mdb" \
        >"$work/out" 2>&1 || { echo "create failed:"; tail -5 "$work/out"; exit 1; }
    read -r wall user sys peak <"$work/time"
    awk -v r="$r" -v n="$n" -v w="$wall" -v u="$user" -v s="$sys" -v p="$peak" 'BEGIN {
        printf "run %d: %d sheets in %.2f s wall (cpu %.2f s): %.0f tables per second; peak %.1f MB\n", r, n, w, u + s, n / w, p / 1024 }'
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$wall; fi
done
listed=$("$cli" tables "$work/db.mdb" | grep -c '^T_BENCH_' || true)
awk -v b="$best" -v n="$n" -v l="$listed" 'BEGIN { printf "best: %.2f s, %.0f tables per second; tables in the database: %d\n", b, n / b, l }'
