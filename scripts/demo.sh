#!/usr/bin/env bash
# The main job on the bundled sample. Until the command-line program exists this only builds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/build.sh"
if [ ! -x "$here/build/bin/xlsdb-cli" ]; then
  echo "Built. The command-line program is not there yet, so there is no job to run on the sample."
  exit 0
fi
