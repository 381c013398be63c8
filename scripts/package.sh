#!/usr/bin/env bash
# Builds the Debian package of xlsdb (the two programs, menu entry, icons, manual pages, examples)
# into build/package and prints its path on the last line.
# Usage: scripts/package.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Everything, in parallel: cpack's install step builds every target first anyway, one at a time.
"$here/scripts/build.sh"
out="$here/build/package"
rm -rf "$out"
mkdir -p "$out"
# The library dependencies come from dpkg-shlibdeps (cmake/Package.cmake).
(cd "$here/build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
deb=$(find "$out" -maxdepth 1 -name '*.deb' | head -n 1)
[ -n "$deb" ] || { echo "package: cpack made no .deb" >&2; cat "$out/cpack.log" >&2; exit 1; }
echo "$deb"
