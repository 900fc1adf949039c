#!/usr/bin/env bash
# Renders the windows to PNG files in build/screenshots/ (on a fresh embedded
# database with the sample company), for a person to check the texts, the
# layout and the gauges: the main window, the restore confirmation, Qt's save
# dialog and the window shown while connecting, in Persian (right to left,
# Qt's own texts in Persian too) and again in English (*_en.png).
# SCALE=2 renders at twice the size.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target P_Restore_screenshots
for lang in fa en; do
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="${SCALE:-1}" \
    build/bin/P_Restore_screenshots --lang "$lang" build/screenshots
done
