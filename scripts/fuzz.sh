#!/usr/bin/env bash
# Runs every fuzz target for a while (default 20 seconds each) on a scratch copy of its corpus,
# in the instrumented build of scripts/sanitize.sh (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer, libFuzzer). A crash, a sanitizer finding or a broken promise stops the run: the input
# is kept as build-sanitize/fuzz-findings/<target>/crash-* and the script fails. New inputs found
# are left in build-sanitize/fuzz-findings/<target>/corpus; copy those worth keeping into
# tests/fuzz/corpus/<target>/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET ...]   (targets: xls xlsx mdb_open mdb_write journal tag_file)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(xls xlsx mdb_open mdb_write journal tag_file)
out="$here/build-sanitize"
"$here/scripts/sanitize.sh" --configure-only
cmake --build "$out" -j"$(nproc)" $(printf -- '--target fuzz_%s ' "${targets[@]}")
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for t in "${targets[@]}"; do
  work="$out/fuzz-findings/$t"
  rm -rf "$work" && mkdir -p "$work/corpus"
  cp -L "$here/tests/fuzz/corpus/$t/"* "$work/corpus/"
  echo "== fuzz_$t for ${seconds}s"
  if ! (cd "$work" && "$out/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
          -print_final_stats=1 corpus >"$work/log" 2>&1); then
    tail -n 60 "$work/log" >&2
    echo "fuzz: fuzz_$t failed; the input is in $work" >&2
    failed=1
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+ *DONE' "$work/log" | sed 's/^/  /' || true
  fi
done
exit $failed
