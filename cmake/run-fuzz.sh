#!/usr/bin/env bash
# Runs every libFuzzer target listed by the fuzz build for a few seconds each, starting from
# its seed corpus (copied, so the repository's corpus is never written to).
# A fixed seed keeps a run repeatable: what fails here fails the same way on a developer machine.
set -euo pipefail
build=$1
seconds=${2:-5}
list=$build/fuzz-targets.txt
[ -s "$list" ] || { echo "no fuzz targets"; exit 0; }
passed=0; failed=0
while read -r target corpus; do
  [ -n "$target" ] || continue
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  if "$build/fuzz/$target" -seed=1 -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$build/fuzz/$target-" "$work" >"$build/fuzz/$target.log" 2>&1; then
    echo "fuzz $target: ok"; passed=$((passed+1))
  else
    echo "fuzz $target: FAILED"; tail -n 40 "$build/fuzz/$target.log"; failed=$((failed+1))
  fi
  rm -rf "$work"
done <"$list"
echo "fuzz targets: $passed ok, $failed failing"
[ "$failed" -eq 0 ]
