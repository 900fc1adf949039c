#!/usr/bin/env bash
# Builds everything and runs every test: the include layers and the format
# first, a normal build with warnings as errors, clang-tidy on the library, the library's
# CMake package used from outside, its Debian package (checked by lintian,
# installed, used and removed), then the same tests under AddressSanitizer +
# UndefinedBehaviorSanitizer, then each fuzz target for FUZZ_SECONDS (default
# 60; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== include layers"
bash scripts/include_graph.sh
bash scripts/install_packages.sh
echo "== format"
bash scripts/format.sh --check

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

run_ctest() {   # run_ctest BUILD_DIR NAME [CTEST_ARGS...]
  local log dir=$1 name=$2
  shift 2
  log=$(mktemp)
  set +e
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE manual "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  echo "== $name: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)"
  rm -f "$log"
  return "$rc"
}

echo "== normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARC_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
run_ctest build "normal build"

echo "== clang-tidy on the library"
bash scripts/tidy.sh build

echo "== the library's CMake package, used by a program outside the project"
bash scripts/find_package_check.sh build

echo "== Debian package"
bash scripts/package_test.sh build

echo "== sanitizer build (ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DARC_WERROR=ON -DARC_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest build-asan "sanitizer build"

echo "== thread sanitizer build (the suites that run threads)"
# Only the library and the thread suites are built: the Qt side runs no
# threads of its own. The writer's suite is one: it deflates on workers by
# default; the reader's decodes beside a worker that checksums and writes.
tsan_suites=(parallel unzip zip)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARC_WERROR=ON -DARC_TSAN=ON \
  -DARC_APP=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-tsan -j "$jobs" --target "${tsan_suites[@]/#/test_}"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_ctest build-tsan "thread sanitizer build" -L "$(IFS='|'; echo "${tsan_suites[*]}")"

if [ "$fuzz_seconds" != 0 ]; then
  echo "== fuzz targets, $fuzz_seconds s each"
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARC_FUZZ=ON \
    -DARC_TESTS=OFF -DARC_APP=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build-fuzz -j "$jobs"
  bash scripts/run_fuzz.sh build-fuzz "$fuzz_seconds"
fi
echo "== all tests passed"
