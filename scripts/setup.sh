#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a new Debian 12 machine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake pkg-config
  # scripts/function-size.sh (run by scripts/test.sh)
  clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev
  libzip-dev libpugixml-dev
  qt6-base-dev
  # Qt's own dialogs (file and folder choosers, message box buttons) in Japanese
  qt6-translations-l10n
  # test oracles and tools for looking at the output
  mdbtools python3-xlrd nodejs npm
  # the workbook reading benchmark writes its 300-sheet workbook with xlwt
  python3-xlwt
  xvfb xauth fonts-noto-cjk chromium
  # install checks and the Debian package: dpkg-shlibdeps needs file; validators, man, lintian
  file desktop-file-utils appstream man-db lintian
  # the sanitizer build and the fuzz targets (scripts/sanitize.sh, scripts/fuzz.sh)
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  # nodejs/npm may come from elsewhere on the machine; only ask apt for them when node is absent
  if command -v node >/dev/null 2>&1; then
    filtered=(); for p in "${missing[@]}"; do case "$p" in nodejs|npm) ;; *) filtered+=("$p");; esac; done
    missing=("${filtered[@]}")
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi

# mdb-reader, an independent reader of .mdb files used by the tests
(cd "$here/tests/oracles" && npm install --no-audit --no-fund --silent)
