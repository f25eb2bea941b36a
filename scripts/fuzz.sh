#!/usr/bin/env bash
# Runs the archive reader's fuzz target for longer (default 10 minutes) and grows the checked-in
# corpus with the new inputs it finds.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-600}
cmake --preset host >/dev/null
cmake --build --preset host --target archive_reader_fuzz
build/host/fuzz/archive_reader_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 fuzz/corpus
