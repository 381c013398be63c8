#!/usr/bin/env bash
# Fails when a function in the engine (src/jet) or the workbook readers (src/xls) is longer than
# 80 lines (clang-tidy's readability-function-size over build/compile_commands.json).
# Usage: scripts/function-size.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
tidy=$(command -v clang-tidy || command -v clang-tidy-14 || true)
if [ -z "$tidy" ]; then
  echo "function-size: clang-tidy is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
  echo "function-size: $build/compile_commands.json is missing (run scripts/build.sh first)" >&2
  exit 1
fi
config='{Checks: "-*,readability-function-size", CheckOptions: [{key: readability-function-size.LineThreshold, value: 80}]}'
out=$(cd "$here" && ls src/jet/*.cpp src/xls/*.cpp |
  xargs -P "$(nproc)" -n 4 "$tidy" -p "$build" --quiet --config="$config" 2>/dev/null |
  grep -A1 'readability-function-size' || true)
if [ -n "$out" ]; then
  echo "$out"
  echo "function-size: functions over 80 lines in src/jet or src/xls (split them by concept)" >&2
  exit 1
fi
echo "function-size: no function over 80 lines in src/jet and src/xls"
