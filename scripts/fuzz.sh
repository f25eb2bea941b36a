#!/usr/bin/env bash
# Runs the archive reader's fuzz target for longer (default 10 minutes), then merges what it found
# into the checked-in corpus, keeping only inputs that add coverage.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-600}
cmake --preset host >/dev/null
cmake --build --preset host --target archive_reader_fuzz
fuzzer=build/host/fuzz/archive_reader_fuzz
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
  "$found" fuzz/corpus
before=$(ls fuzz/corpus | wc -l)
"$fuzzer" -merge=1 fuzz/corpus "$found" 2>/dev/null
echo "fuzz: corpus grew from $before to $(ls fuzz/corpus | wc -l) inputs"
