#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the library (archive/,
# and through it the public headers in include/arc/) and fails on any
# warning. Needs a configured build directory for its compile_commands.json.
#
# Usage: scripts/tidy.sh [BUILD_DIR]   (default: build; configured when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
# The T prefix belongs to the component interface's own types; a type the
# library adds for itself takes none.
interface_types=" TArcFileAttr TArcFileAttrs TArcFileScan TArcRoot TArcSortOptions TArcTimer TArcType
  TCalcStreamCRC TCompBase TCompHeaderObj TComponent TCompressMethod TCompressStream
  TCompressionMethod TCpuType TCustomMemoryStream32 TCustomStream TDateAttribute TDateTime
  TDecompressStream TDeflateType TDeleteOptions TDiskCommon TDiskManager TDiskSpanObj
  TEncryptionMethod TExceptionClass TFileObject TFileStream32 TFilesList THandleStream32
  THeaderType THeaderTypeState TInternalMask TMemoryStream32 TMultiMask TNotifyEvent TObject
  TOverwriteMode TSeekOrigin TStoreStream TStoredDirNames TStream32 TStrings TSwitch
  TTempFileMoveBegin TTempFileStream TTempMemStream TUnBase TUnBase_OnFileExists TUnZip TZip
  TZipBase TZipCommon "
t_types=$(grep -rhoE '\b(class|struct|enum( class)?|using|union) T[A-Z][A-Za-z0-9_]*' archive include/arc |
  awk '{print $NF}' | sort -u)
for t in $t_types; do
  case "$t" in TOn[A-Z]*) continue ;; esac   # the events' types
  if [[ " $(echo $interface_types) " != *" $t "* ]]; then
    echo "type $t: the T prefix is kept for the component interface (see CONTRIBUTING.md)"
    bad_t=1
  fi
done
[ -z "${bad_t:-}" ] || exit 1

log=$(mktemp)
trap 'rm -f "$log"' EXIT
set +e
# The compile commands are GCC's; clang-tidy is told to pass over the
# warning options only GCC knows (-Wno-error=restrict on GCC 12).
run-clang-tidy -p "$build" -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
  "^$root/archive/.*\.cpp\$" >"$log" 2>&1
rc=$?
set -e
# Findings are printed once per file that includes the header they are in.
grep -E '(warning|error): ' "$log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u >"$log.found" || true
count=$(wc -l <"$log.found")
if [ "$rc" -ne 0 ] || [ "$count" -ne 0 ]; then
  cat "$log.found"
  [ "$count" -ne 0 ] || tail -n 30 "$log"
  echo "clang-tidy: $count finding(s)"
  rm -f "$log.found"
  exit 1
fi
rm -f "$log.found"
echo "clang-tidy: clean"
