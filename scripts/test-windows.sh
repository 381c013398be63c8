#!/usr/bin/env bash
# Cross-builds xlsdb-cli.exe and the tests of support, xls, jet and output for Windows into
# build-windows/build, and runs under Wine:
#   1. those tests (the ones that need the Linux oracles stay with the Linux build);
#   2. the main job end to end in a folder with a Japanese name: newdb, create of both examples,
#      html, tables. mdbtools and mdb-reader then read the database here and must see what they see
#      in the database the Linux build makes with the same commands; the messages and exit codes
#      must be the Linux build's, and the pages its pages byte for byte.
# Needs scripts/setup-windows.sh (run from here) and the Linux build's xlsdb-cli (built here).
# Usage: scripts/test-windows.sh [CTEST ARGUMENTS ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work="$here/build-windows"
deps=$(bash "$here/scripts/setup-windows.sh")
export XLSDB_WINDOWS_DEPS="$deps"
build="$work/build"
# Optimised, without debug information: the statically linked programs link far quicker.
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2 -DNDEBUG" -DXLSDB_BUILD_GUI=OFF -DXLSDB_BUILD_BENCH=OFF >/dev/null

# A Wine prefix of our own, kept between runs; one Wine server for every program started below.
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p60 || true  # already running from the line above

cmake --build "$build" -j"$(nproc)"
(cd "$build" && ctest --output-on-failure -j"$(nproc)" "$@")

echo "== The main job under Wine"
"$here/scripts/build.sh" xlsdb-cli >/dev/null
linux="$here/build/bin/xlsdb-cli"
exe="$build/bin/xlsdb-cli.exe"
ex="$here/examples"
out=$(mktemp -d /tmp/xlsdb-windows.XXXXXX)
trap 'rm -rf "$out"' EXIT
failed=0
# Runs the same command with both programs, in out/linux and out/出力 (the Windows one), and
# compares what they print and how they end (path separators aside).
both() {
  local name=$1; shift
  local args_l=() args_w=()
  for a in "$@"; do args_l+=("${a//@/$out/linux}"); args_w+=("${a//@/$out/出力}"); done
  local rl=0 rw=0
  "$linux" "${args_l[@]}" >"$out/$name.linux.out" 2>"$out/$name.linux.err" || rl=$?
  "$wine" "$exe" "${args_w[@]}" >"$out/$name.windows.out" 2>"$out/$name.windows.err" || rw=$?
  for s in out err; do
    sed "s|$out/linux|DIR|g" "$out/$name.linux.$s" >"$out/$name.l"
    sed "s|$out/出力|DIR|g; s|\\\\|/|g" "$out/$name.windows.$s" >"$out/$name.w"
    if ! cmp -s "$out/$name.l" "$out/$name.w"; then
      echo "FAILED: $name: std$s differs (Linux, Windows):"; diff "$out/$name.l" "$out/$name.w" || true; failed=1
    fi
  done
  if [ "$rl" != "$rw" ]; then echo "FAILED: $name: exit code $rl on Linux, $rw on Windows"; failed=1; fi
  echo "$name: exit code $rw"
}
mkdir -p "$out/linux/html/sales" "$out/linux/html/hr" "$out/出力/html/sales" "$out/出力/html/hr"
both newdb newdb @/設計.mdb
both newdb-again newdb @/設計.mdb
both create-sales create --layout "$ex/design_with_cover.edf" "$ex/sales_design.xls" @/設計.mdb
both create-hr create --layout "$ex/default.edf" --types "$ex/japanese.afa" "$ex/hr_design_ja.xls" @/設計.mdb
both create-again create --layout "$ex/default.edf" --types "$ex/japanese.afa" "$ex/hr_design_ja.xls" @/設計.mdb
both html-sales html --layout "$ex/design_with_cover.edf" "$ex/sales_design.xls" @/html/sales
both html-hr html --layout "$ex/default.edf" "$ex/hr_design_ja.xls" @/html/hr
both tables tables @/設計.mdb
both list list --layout "$ex/default.edf" "$ex/hr_design_ja.xls"
both missing tables @/ない.mdb

if ! diff -r "$out/linux/html" "$out/出力/html"; then echo "FAILED: the pages differ"; failed=1; fi
# What the independent readers see in the Windows-made database, against the Linux-made one.
read_db() {
  mdb-ver "$1"; mdb-tables -S -1 "$1"; mdb-schema "$1" mysql
  for t in $(mdb-tables -1 "$1"); do mdb-export "$1" "$t"; done
  node "$here/tests/oracles/mdb_reader_dump.mjs" "$1"
}
read_db "$out/linux/設計.mdb" >"$out/readers.linux"
read_db "$out/出力/設計.mdb" >"$out/readers.windows"
if ! cmp -s "$out/readers.linux" "$out/readers.windows"; then
  echo "FAILED: mdbtools and mdb-reader read the two databases differently:"
  diff "$out/readers.linux" "$out/readers.windows" || true
  failed=1
fi
grep -q '"シャイン"' "$out/readers.windows" || { echo "FAILED: mdb-reader does not see the Japanese tables"; failed=1; }
[ "$failed" = 0 ] && echo "The main job under Wine: as on Linux"
exit "$failed"
