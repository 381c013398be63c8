#!/usr/bin/env bash
# Builds the engine, the readers, the outputs and the command line with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer into build-sanitize/, with the fuzz targets, and runs their
# tests (each fuzz target replays its corpus once); a sanitizer finding fails the test it occurs
# in. The screens are left out (Qt's own libraries are not built for it). Warnings are not made
# errors here: the instrumented code draws false ones.
# XLSDB_SANITIZE_SKIP: a pattern of further tests to leave out (CI leaves out the slowest runs of
# the whole program, which spend their time starting it and the outside readers).
# Usage: scripts/sanitize.sh [CTEST ARGS ...]     scripts/sanitize.sh --configure-only
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build-sanitize"
# -O1 with line tables only: the usual trade for sanitizers, quick to build and still exact in reports.
CC=clang CXX=clang++ cmake -S "$here" -B "$out" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" \
      -DXLSDB_SANITIZE=address,undefined -DXLSDB_FUZZ=ON -DXLSDB_BUILD_GUI=OFF -DXLSDB_BUILD_BENCH=OFF >/dev/null
[ "${1:-}" = "--configure-only" ] && exit 0
cmake --build "$out" -j"$(nproc)"
cd "$out"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
skip='^install_tree$'
[ -z "${XLSDB_SANITIZE_SKIP:-}" ] || skip="$skip|$XLSDB_SANITIZE_SKIP"
ctest --output-on-failure -j"$(nproc)" -E "$skip" "$@"
