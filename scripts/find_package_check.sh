#!/usr/bin/env bash
# Installs the archive library's CMake package from BUILD_DIR into a temporary
# prefix and builds and runs a small program against it with find_package(arc).
# Usage: scripts/find_package_check.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: find_package_check.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --build "$build" --target arc >/dev/null
cmake --install "$build" --component arc_dev --prefix "$work/prefix" >/dev/null
cmake -S "$here/find_package_check" -B "$work/build" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
mkdir "$work/run"
"$work/build/arc_consumer" "$work/run"
