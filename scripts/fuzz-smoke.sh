#!/usr/bin/env bash
# Runs every fuzzer in BUILD_DIR for SECONDS each; any crash fails the run.
# Each starts from its seeds in fuzz/corpus/<fuzzer>/ (slices of the real-tool
# fixtures, made by scripts/make-fuzz-seeds.py); what it finds goes to a
# scratch folder, so the committed seeds stay as they are.
set -euo pipefail
build=${1:?build dir}
seconds=${2:-20}
seeds=$(cd "$(dirname "$0")/../fuzz/corpus" && pwd)
corpus_root=$(mktemp -d)
trap 'rm -rf "$corpus_root"' EXIT
status=0
for f in "$build"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  mkdir -p "$corpus_root/$name"
  echo "fuzz: $name for ${seconds}s"
  seed_dir=()
  [ -d "$seeds/$name" ] && seed_dir=("$seeds/$name")
  if ! "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
       "$corpus_root/$name" "${seed_dir[@]}" >"$corpus_root/$name.log" 2>&1; then
    tail -n 40 "$corpus_root/$name.log"
    status=1
  fi
done
exit $status
