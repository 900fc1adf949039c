#!/usr/bin/env bash
# Builds the program and starts it on its embedded default database.
# Without a display it runs under a virtual one (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
prog=build/bin/P_Restore
if [ ! -x "$prog" ]; then
  echo "built: $(ls build/bin | tr '\n' ' ')"
  exec build/bin/arcz "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  exec xvfb-run -a "$prog" "$@"
fi
exec "$prog" "$@"
