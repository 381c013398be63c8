#!/usr/bin/env bash
# The Windows cross build's tools and libraries on a Debian 12 machine: the mingw-w64 toolchain, Wine,
# zlib for the target, and libzip, pugixml and googletest built for the target from Debian source packages.
# The sources and the built libraries stay under build-windows/ (kept between runs, ignored by git).
# Usage: scripts/setup-windows.sh        (prints the prefix the libraries are in)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work="$here/build-windows"
deps="$work/deps"
triple=x86_64-w64-mingw32
mkdir -p "$work"

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev cmake googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi

# Source lists derived from the machine's own Debian lists (same archives, same keys), kept in a private
# apt state under build-windows/apt so that the machine's own lists stay as they are.
. /etc/os-release
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
{
  # one-line lists: "deb [options] URI SUITE COMPONENTS..."
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do if [ -e "$f" ]; then cat "$f"; fi; done |
    awk -v suite="$VERSION_CODENAME" '$1 == "deb" {
      i = 2; opts = ""; if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
      if ($(i + 1) == suite) { line = "deb-src" opts; for (j = i; j <= NF; j++) line = line " " $j; print line } }'
  # deb822 lists: stanzas of "Types: deb" with the release's own suite
  for f in /etc/apt/sources.list.d/*.sources; do
    if [ ! -e "$f" ]; then continue; fi
    awk -v suite="$VERSION_CODENAME" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uris != "")
          { n = split(uris, u, " "); for (k = 1; k <= n; k++)
              print "deb-src" (signed != "" ? " [signed-by=" signed "]" : "") " " u[k] " " suite " " comps }
        types = uris = suites = comps = signed = "" }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      { key = $1; sub(/:$/, "", key); val = $0; sub(/^[^:]*:[ \t]*/, "", val)
        if (key == "Types") types = val; else if (key == "URIs") uris = val; else if (key == "Suites") suites = val
        else if (key == "Components") comps = val; else if (key == "Signed-By") signed = val }
      END { flush() }' "$f"
  done
} | sort -u > "$apt_dir/sources.list"
if [ ! -s "$apt_dir/sources.list" ]; then
  echo "setup-windows: no Debian $VERSION_CODENAME lists on this machine to derive source lists from" >&2
  exit 1
fi
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache::Archives=$apt_dir/archives"
          -o APT::Sandbox::User=root -o Debug::NoLocking=1)

# The versions Debian has: a new version is fetched and built again, the same one is reused.
src="$work/src"
mkdir -p "$src"
stamp="$deps/.built"
want=""
apt-get "${apt_opts[@]}" -q update >&2
for pkg in libzip pugixml; do
  v=$(apt-cache "${apt_opts[@]}" showsrc "$pkg" | awk '/^Version:/ { print $2; exit }')
  want="$want $pkg=$v"
done
want="$want googletest=$(dpkg-query -W -f='${Version}' googletest)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  echo "$deps"; exit 0
fi
rm -rf "$src" "$deps"; mkdir -p "$src"
(cd "$src" && apt-get "${apt_opts[@]}" -q source libzip pugixml >&2)

toolchain="$here/cmake/mingw-w64-x86_64.cmake"
common=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps"
        -DBUILD_SHARED_LIBS=OFF)
pugi=$(find "$src" -maxdepth 1 -type d -name 'pugixml-*' | head -n1)
cmake -S "$pugi" -B "$work/build-pugixml" "${common[@]}" -DPUGIXML_BUILD_TESTS=OFF >&2
cmake --build "$work/build-pugixml" -j"$(nproc)" --target install >&2
zip=$(find "$src" -maxdepth 1 -type d -name 'libzip-*' | head -n1)
# Reading only: no encryption, no compressors beyond zlib's deflate, no tools.
cmake -S "$zip" -B "$work/build-libzip" "${common[@]}" \
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
  -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >&2
cmake --build "$work/build-libzip" -j"$(nproc)" --target install >&2
# The test framework from the sources Debian's googletest package installs.
cmake -S /usr/src/googletest -B "$work/build-googletest" "${common[@]}" -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF >&2
cmake --build "$work/build-googletest" -j"$(nproc)" --target install >&2
echo "$want" > "$stamp"
echo "$deps"
