#!/usr/bin/env bash
# Runs each fuzz target (the archive reader, the one-file installer's layout reader, the
# installation record reader, the seal's block reader) for longer (default 10 minutes each), then
# merges what it found into its checked-in corpus, keeping only inputs that add coverage.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-600}
cmake --preset host >/dev/null
for pair in archive_reader:corpus bundle_trailer:bundle_corpus install_record:record_corpus \
    seal:seal_corpus; do
  name=${pair%%:*} corpus=fuzz/${pair#*:}
  cmake --build --preset host --target "${name}_fuzz"
  fuzzer=build/host/fuzz/${name}_fuzz
  found=$(mktemp -d)
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
    "$found" "$corpus"
  before=$(ls "$corpus" | wc -l)
  "$fuzzer" -merge=1 "$corpus" "$found" 2>/dev/null
  rm -rf "$found"
  echo "fuzz: $name: corpus grew from $before to $(ls "$corpus" | wc -l) inputs"
done
