#!/usr/bin/env bash
# Runs every benchmark executable of a build folder and ends with one line per
# figure, "name: value", gathered from the lines of that form they print.
set -uo pipefail
build=${1:?build folder}
figures=$(mktemp)
status=0
for exe in "$build"/bench/kelvora_bench_*; do
  [ -x "$exe" ] || continue
  echo "=== $(basename "$exe")"
  "$exe" 2>&1 | tee -a "$figures.all" || status=1
done
echo
echo "=== figures"
grep -E '^[a-z0-9_]+: ' "$figures.all" 2>/dev/null || true
rm -f "$figures" "$figures.all"
exit $status
