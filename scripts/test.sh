#!/usr/bin/env bash
# Builds everything and runs every test: a normal build with warnings as
# errors, its Debian package (checked by lintian, installed, used and removed),
# then the same tests under AddressSanitizer + UndefinedBehaviorSanitizer,
# then each fuzz target for FUZZ_SECONDS (default 60; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_packages.sh

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

run_ctest() {   # run_ctest BUILD_DIR NAME
  local log
  log=$(mktemp)
  set +e
  ctest --test-dir "$1" --output-on-failure -j "$jobs" -LE manual 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  echo "== $2: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)"
  rm -f "$log"
  return "$rc"
}

echo "== normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARC_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
run_ctest build "normal build"

echo "== Debian package"
bash scripts/package_test.sh build

echo "== sanitizer build (ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DARC_WERROR=ON -DARC_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest build-asan "sanitizer build"

if [ "$fuzz_seconds" != 0 ]; then
  echo "== fuzz targets, $fuzz_seconds s each"
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARC_FUZZ=ON \
    -DARC_TESTS=OFF -DARC_APP=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build-fuzz -j "$jobs"
  bash scripts/run_fuzz.sh build-fuzz "$fuzz_seconds"
fi
echo "== all tests passed"
