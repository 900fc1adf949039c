#!/usr/bin/env bash
# run_fuzz.sh BUILD_DIR SECONDS - runs every fuzz_* binary of BUILD_DIR/bin for
# SECONDS each, seeded from fuzz/corpus/<name>/ when that folder exists.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
status=0
for bin in "$build"/bin/fuzz_*; do
  name=${bin##*/fuzz_}
  work=$(mktemp -d)
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
  echo "-- fuzz_$name"
  if ! (cd "$work" && "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        -print_final_stats=1 "$work" "${seeds[@]}" 2>&1 | tail -n 8); then
    echo "fuzz_$name FAILED"
    status=1
  fi
  rm -rf "$work"
done
exit $status
