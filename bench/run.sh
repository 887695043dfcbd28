#!/usr/bin/env bash
# Runs every benchmark binary of a build folder. Each one builds its own
# image under BENCH_DIR (default: a temp folder), measures a plain sequential
# read or copy of the same bytes in the same run, and prints the ratio.
set -euo pipefail
build=${1:-build/default}
dir=${BENCH_DIR:-$(mktemp -d)}
status=0
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$dir" || status=1
done
[ -n "${BENCH_DIR:-}" ] || rm -rf "$dir"
exit $status
