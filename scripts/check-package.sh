#!/usr/bin/env bash
# Builds the Debian package and checks it as a user of a Debian 12 machine would meet it: its
# contents and lintian, then installs it with dpkg, runs the installed xlsdb-cli (--version and the
# demo on the installed examples), and removes it again with apt-get, leaving none of its files.
# Needs root: it installs and removes the package xlsdb on this machine (CI runs it).
# Usage: scripts/check-package.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
version=$(sed -n 's/^project(xlsdb .*VERSION \([0-9.]*\)).*/\1/p' "$here/CMakeLists.txt")

echo "== Building the package"
deb=$("$here/scripts/package.sh" | tail -n 1)
echo "$deb"

echo "== Contents (dpkg-deb -c)"
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$deb.files"
for f in /usr/bin/xlsdb /usr/bin/xlsdb-cli /usr/share/man/man1/xlsdb-cli.1.gz /usr/share/man/ja/man1/xlsdb-cli.1.gz \
         /usr/share/applications/org.example.xlsdb.desktop /usr/share/metainfo/org.example.xlsdb.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/org.example.xlsdb.svg /usr/share/doc/xlsdb/copyright \
         /usr/share/xlsdb/examples/sales_design.xls; do
  grep -qx "$f" "$deb.files" || { echo "package: $f missing from $deb" >&2; exit 1; }
done
echo "$(grep -vc '/$' "$deb.files") files; control:"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends | sed 's/^/  /'
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "package: no Qt 6 dependency" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libzip4' || { echo "package: no libzip dependency" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libpugixml1v5' || { echo "package: no pugixml dependency" >&2; exit 1; }

echo "== lintian (errors fail)"
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "== Installing with dpkg -i"
removed=0
cleanup() { [ "$removed" = 1 ] || $SUDO apt-get remove -y -q xlsdb >/dev/null 2>&1 || true; }
trap cleanup EXIT
$SUDO dpkg -i "$deb"
say=$(/usr/bin/xlsdb-cli --version)
echo "installed xlsdb-cli --version: $say"
[ "$say" = "xlsdb-cli $version" ] || { echo "package: expected xlsdb-cli $version" >&2; exit 1; }
[ "$(/usr/bin/xlsdb --version)" = "xlsdb $version" ] || { echo "package: xlsdb --version is wrong" >&2; exit 1; }
man -w xlsdb-cli >/dev/null || { echo "package: man does not find xlsdb-cli(1)" >&2; exit 1; }
# The screens start from the installed files (Qt's platform plugin found, the workbook argument
# taken) and keep running until stopped.
set +e
xvfb-run -a timeout 5 /usr/bin/xlsdb /usr/share/xlsdb/examples/sales_design.xls >"$deb.gui.log" 2>&1
rc=$?
set -e
[ "$rc" = 124 ] || { cat "$deb.gui.log" >&2; echo "package: the installed xlsdb ended with $rc at its start" >&2; exit 1; }
echo "installed xlsdb started and ran until stopped"

echo "== The demo with the installed program and examples"
out=$(mktemp -d /tmp/xlsdb-package-demo.XXXXXX)
XLSDB_CLI=/usr/bin/xlsdb-cli XLSDB_EXAMPLES=/usr/share/xlsdb/examples "$here/scripts/demo.sh" "$out"
tables=$(/usr/bin/xlsdb-cli tables "$out/demo.mdb")
for t in M_CUSTOMER T_ORDER_NOTE シャイン キュウヨ; do
  grep -qx "$t" <<<"$tables" || { echo "package: the demo made no table $t" >&2; exit 1; }
done
rm -rf "$out"

echo "== Removing with apt-get remove"
$SUDO apt-get remove -y -q xlsdb
removed=1
if dpkg-query -W -f='${Status}\n' xlsdb 2>/dev/null | grep -q ' installed$'; then
  echo "package: still installed after apt-get remove" >&2; exit 1
fi
left=0
while IFS= read -r f; do
  case "$f" in */) continue ;; esac
  if [ -e "$f" ]; then echo "package: $f left behind" >&2; left=1; fi
done <"$deb.files"
[ "$left" = 0 ]
echo "package check passed: $(basename "$deb")"
