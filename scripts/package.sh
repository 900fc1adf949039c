#!/usr/bin/env bash
# Builds the Debian package of P_Restore and arcz into build/ (p-restore_*.deb),
# with the dependencies dpkg-shlibdeps finds for the binaries.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target P_Restore arcz dist_files
rm -f build/p-restore_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/p-restore_*.deb
