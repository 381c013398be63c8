#!/usr/bin/env bash
# Installs the build folder into a scratch prefix with `cmake --install` and checks the tree: every
# file where a desktop, man and a package expect it and nothing else, the programs' versions, the
# desktop entry and the AppStream file valid, the manual pages rendering without a warning, the
# icons of the size their folders claim.
# Usage: check_install.sh BUILD_DIR VERSION APP_ID gui|nogui
set -uo pipefail
build=$(cd "$1" && pwd) version=$2 id=$3 gui=$4
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A prefix with a blank, as a user's home folder may have.
prefix="$work/the prefix"
passed=0 failed=0
ok() { passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() { local what=$1; shift; if "$@"; then ok; else fail "$what"; fi; }

for tool in desktop-file-validate appstreamcli man /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1
fi
cd "$prefix" || exit 1

# Exactly these files (examples: every file of the source's examples folder).
expected=(bin/xlsdb-cli share/man/man1/xlsdb-cli.1.gz share/man/ja/man1/xlsdb-cli.1.gz
  share/doc/xlsdb/README.md share/doc/xlsdb/THIRD_PARTY_NOTICES.md share/doc/xlsdb/copyright
  share/doc/xlsdb/changelog.gz share/doc/xlsdb/third_party/jackcess/LICENSE
  share/doc/xlsdb/third_party/jackcess/NOTICE)
if [ "$gui" = gui ]; then
  expected+=(bin/xlsdb share/man/man1/xlsdb.1.gz share/man/ja/man1/xlsdb.1.gz
    "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$id.svg")
  for size in 16 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x$size/apps/$id.png"); done
fi
while IFS= read -r f; do expected+=("share/xlsdb/examples/$f"); done < <(cd "$src/examples" && find . -type f | sed 's|^\./||')
find . -type f | sed 's|^\./||' | sort >"$work/have"
printf '%s\n' "${expected[@]}" | sort >"$work/want"
check "installed files differ from the expected ones (< missing, > extra):
$(diff "$work/want" "$work/have")" cmp -s "$work/want" "$work/have"
for f in bin/*; do check "$f is not executable" test -x "$f"; done
# The install's own list (what a user removes by hand) names every file, the generated ones too.
sed "s|^$prefix/||" "$build/install_manifest.txt" | sort >"$work/manifest"
check "install_manifest.txt differs from the tree:
$(diff "$work/manifest" "$work/have")" cmp -s "$work/manifest" "$work/have"

# Versions, from the installed programs.
check "xlsdb-cli --version says '$(bin/xlsdb-cli --version 2>&1)'" test "$(bin/xlsdb-cli --version)" = "xlsdb-cli $version"
if [ "$gui" = gui ]; then
  check "xlsdb --version says '$(bin/xlsdb --version 2>&1)'" test "$(bin/xlsdb --version)" = "xlsdb $version"
fi

# Manual pages: render without a warning, name the version, the installed examples and --version.
for page in share/man/man1/*.1.gz share/man/ja/man1/*.1.gz; do
  # (timeout: troff 1.22 with ja.tmac can loop on an unbreakable run of letters after Japanese text)
  if LC_ALL=C.UTF-8 MANWIDTH=80 timeout 60 man --warnings -E UTF-8 -l "$page" >"$work/page.txt" 2>"$work/page.err"; then
    check "$page: warnings while rendering: $(cat "$work/page.err")" test ! -s "$work/page.err"
    check "$page: no NAME section" grep -qE '^(NAME|名前)$' "$work/page.txt"
    check "$page: no --version" grep -q -- '--version' "$work/page.txt"
    check "$page: footer without the version" grep -q "xlsdb $version" "$work/page.txt"
    case "$page" in
      *xlsdb-cli.1.gz)
        check "$page: does not name the installed examples" grep -qF "$prefix/share/xlsdb/examples" "$work/page.txt"
        # Every command and option that --help lists is in the page too.
        for cmd in $(bin/xlsdb-cli --help | grep -E '^  [a-z]+( |$)' | awk '{print $1}'); do
          check "$page: no command $cmd" grep -q "xlsdb-cli $cmd" "$work/page.txt"
        done
        for opt in $(bin/xlsdb-cli --help | grep -oE -- '--[a-z-]+' | sort -u); do
          check "$page: no option $opt" grep -q -- "$opt" "$work/page.txt"
        done ;;
    esac
  else
    fail "$page: man -l failed: $(cat "$work/page.err")"
  fi
done

if [ "$gui" = gui ]; then
  desktop="share/applications/$id.desktop"
  check "desktop-file-validate: $(desktop-file-validate "$desktop" 2>&1)" test -z "$(desktop-file-validate "$desktop" 2>&1)"
  check "$desktop does not start the installed xlsdb with the file" grep -qx 'Exec=xlsdb %f' "$desktop"
  check "$desktop: English and Japanese names" grep -q '^Name\[ja\]=' "$desktop"
  for type in application/vnd.ms-excel application/vnd.openxmlformats-officedocument.spreadsheetml.sheet; do
    check "$desktop does not open $type" grep -q "^MimeType=.*$type;" "$desktop"
  done
  check "$desktop: icon name is not $id" grep -qx "Icon=$id" "$desktop"
  metainfo="share/metainfo/$id.metainfo.xml"
  if appstreamcli validate --no-net --pedantic "$metainfo" >"$work/as.txt" 2>&1; then ok
  else fail "appstreamcli validate: $(cat "$work/as.txt")"; fi
  check "$metainfo does not launch $id.desktop" grep -q "<launchable type=\"desktop-id\">$id.desktop<" "$metainfo"
  check "$metainfo does not carry release $version" grep -q "<release version=\"$version\"" "$metainfo"
  # Each PNG is as large as its folder says, and square.
  for png in share/icons/hicolor/*x*/apps/*.png; do
    dir=$(basename "$(dirname "$(dirname "$png")")")
    size=$(/usr/bin/python3 -c 'import struct,sys
d=open(sys.argv[1],"rb").read(24)
assert d[:8]==b"\x89PNG\r\n\x1a\n"
print("%dx%d" % struct.unpack(">II", d[16:24]))' "$png" 2>&1)
    check "$png is $size, not $dir" test "$size" = "$dir"
  done
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
