#!/usr/bin/env bash
# Takes a picture of the main window while a backup runs, under a virtual X
# display (Xvfb): a real backup of a company database padded to about 48 MiB,
# pictured when the gauge has passed PERCENT (default 50). The picture goes to
# build/screenshots/backup_gauge.png.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target P_Restore_backup_screenshot
mkdir -p build/screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x600x24" \
  build/bin/P_Restore_backup_screenshot build/screenshots/backup_gauge.png "${PERCENT:-50}"
