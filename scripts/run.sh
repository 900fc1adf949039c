#!/usr/bin/env bash
# Builds the program (nothing else) and starts it on its embedded default
# database; arguments go to the program (--lang en for English).
# Without a display it runs under a virtual one (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what starts: the tests are scripts/test.sh's business.
if grep -q '^ARC_APP:BOOL=OFF' build/CMakeCache.txt; then
  cmake --build build -j "$(nproc)" --target arcz
else
  cmake --build build -j "$(nproc)" --target P_Restore
fi
prog=build/bin/P_Restore
if [ ! -x "$prog" ]; then
  echo "built: $(ls build/bin | tr '\n' ' ')"
  exec build/bin/arcz "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  exec xvfb-run -a "$prog" "$@"
fi
exec "$prog" "$@"
