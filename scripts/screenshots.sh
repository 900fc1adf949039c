#!/usr/bin/env bash
# Renders the main window and the restore confirmation to PNG files in
# build/screenshots/ (on a fresh embedded database with the sample company),
# for a person to check the Persian texts, the right-to-left layout and the
# gauges. SCALE=2 renders at twice the size.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target P_Restore_screenshots
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="${SCALE:-1}" build/bin/P_Restore_screenshots build/screenshots
