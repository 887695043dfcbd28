#!/usr/bin/env bash
# Runs every fuzzer in BUILD_DIR for SECONDS each; any crash fails the run.
set -euo pipefail
build=${1:?build dir}
seconds=${2:-20}
corpus_root=$(mktemp -d)
trap 'rm -rf "$corpus_root"' EXIT
status=0
for f in "$build"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  mkdir -p "$corpus_root/$name"
  echo "fuzz: $name for ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
       "$corpus_root/$name" >"$corpus_root/$name.log" 2>&1; then
    tail -n 40 "$corpus_root/$name.log"
    status=1
  fi
done
exit $status
