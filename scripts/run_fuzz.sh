#!/usr/bin/env bash
# run_fuzz.sh BUILD_DIR SECONDS - runs every fuzz_* binary of BUILD_DIR/bin for
# SECONDS each, seeded from fuzz/corpus/<name>/ when that folder exists. Runs as
# many targets at once as there are cores; prints each target's final stats.
# FUZZ_SEED (default 1) fixes the fuzzer's random choices, so that a run
# tries much the same inputs on any machine (a slower one fewer of them; where
# the code runs threads, timing still steers the fuzzer a little) and a test
# run seldom meets an input nobody has seen; FUZZ_SEED=0 takes a new seed
# each run, for runs that look for new faults.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
seed=${FUZZ_SEED:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
parallel=${FUZZ_JOBS:-$(nproc)}
shopt -s nullglob
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

fuzz_one() {   # fuzz_one BINARY -> exit status of the fuzzer
  local bin=$1 name=${1##*/fuzz_} work seeds=()
  work=$(mktemp -d)
  [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
  local rc=0
  (cd "$work" && "$bin" -seed="$seed" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
     -print_final_stats=1 "$work" "${seeds[@]}") >"$logs/$name.log" 2>&1 || rc=$?
  # An input that failed is kept beside the build and printed (base64) into
  # the log, so that a failure seen only in CI can be replayed anywhere.
  local found
  for found in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-*; do
    mkdir -p "$build/fuzz-artifacts"
    cp "$found" "$build/fuzz-artifacts/${name}-${found##*/}"
    { echo "failing input kept as $build/fuzz-artifacts/${name}-${found##*/}; base64:"
      base64 -w 76 "$found" | head -n 200; } >>"$logs/$name.log"
  done
  rm -rf "$work"
  return $rc
}

declare -A pids
for bin in "$build"/bin/fuzz_*; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  fuzz_one "$bin" &
  pids[$bin]=$!
done
status=0
for bin in "${!pids[@]}"; do
  name=${bin##*/fuzz_}
  if wait "${pids[$bin]}"; then
    echo "-- fuzz_$name: $(grep -E 'stat::number_of_executed_units' "$logs/$name.log" | awk '{print $2}') runs, no failure"
  else
    echo "-- fuzz_$name FAILED"
    tail -n 40 "$logs/$name.log"
    status=1
  fi
done
exit $status
