#!/usr/bin/env bash
# Configures and builds into build/: everything, or only the targets named.
# Usage: scripts/build.sh [TARGET ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$here/build" -j"$(nproc)" "${targets[@]}"
