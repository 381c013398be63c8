#!/usr/bin/env bash
# Cross-builds xlsdb-cli.exe and the libraries' tests for Windows into build-windows/build and runs
# them under Wine. Needs scripts/setup-windows.sh first (it is run here when its libraries are missing).
# Usage: scripts/test-windows.sh [CTEST ARGUMENTS ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work="$here/build-windows"
deps=$(bash "$here/scripts/setup-windows.sh")
export XLSDB_WINDOWS_DEPS="$deps"
build="$work/build"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXLSDB_BUILD_GUI=OFF -DXLSDB_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
