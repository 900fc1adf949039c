#!/usr/bin/env bash
# Renames internal identifiers to the house style (CONTRIBUTING.md), for a
# branch that still uses the old names after merging main: the internal types
# lose their T prefix, then clang-tidy's readability-identifier-naming fixes
# every name declared in archive/ or include/arc/ at its declaration and at
# each use in the library, tools, app, msg, tests, bench and fuzz.
# Review the result: clang-tidy 14 may turn a [&] capture that uses a renamed
# local into an explicit capture, and a renamed member may meet a parameter
# of the same name (build with -Wshadow-all to find those).
#
# bench/ and fuzz/ are covered only when BUILD_DIR was configured with
# -DARC_BENCH=ON / -DARC_FUZZ=ON.
#
# Usage: scripts/rename_names.sh [BUILD_DIR]   (a configured build: compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}

# Internal types that had the T prefix.
renames='TArcOpenState ArcOpenState
TArchiveOutputHooks ArchiveOutputHooks
TArchiveOutput ArchiveOutput
TBlockCipher BlockCipher
TCompHeader CompHeader
TEntryAction EntryAction
TMultiMasks MultiMasks
TNamingRules NamingRules
TProgressDispatcher ProgressDispatcher
TProgressHandler ProgressHandler
TProgressTotals ProgressTotals
TRootScanHandler RootScanHandler
TScanEntryHandler ScanEntryHandler
TSearchRec SearchRec
TSourceFileStream SourceFileStream
TTempMoveBegin TempMoveBegin
TTempMoveEnd TempMoveEnd
TTempMoveIntoPlace TempMoveIntoPlace
TTempReportError TempReportError
TUpdateRun UpdateRun'
expr=$(awk '{printf "s/\\b%s\\b/%s/g;", $1, $2}' <<<"$renames")
git ls-files -- '*.h' '*.cpp' | xargs grep -lwE "$(awk '{print $1}' <<<"$renames" | paste -sd'|')" |
  xargs -r sed -i "$expr"

# Everything else: clang-tidy's fixes, only for names the library declares.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run-clang-tidy -p "$build" -j "$(nproc)" -quiet -checks='-*,readability-identifier-naming' \
  -export-fixes "$work/all.yaml" "^$root/(archive|tools|app|msg|tests|bench|fuzz)/" >/dev/null 2>&1 || true
mkdir "$work/apply"
python3 - "$work/all.yaml" "$work/apply/fixes.yaml" "$root" <<'PY'
import re, sys, yaml
fixes = yaml.safe_load(open(sys.argv[1])) or {'Diagnostics': []}
library = re.compile('^' + re.escape(sys.argv[3]) + '/(archive|include/arc)/')
fixes['Diagnostics'] = [d for d in fixes['Diagnostics']
                        if library.search(d['DiagnosticMessage'].get('FilePath', ''))
                        and d['DiagnosticMessage'].get('Replacements')]
yaml.safe_dump(fixes, open(sys.argv[2], 'w'))
print(len(fixes['Diagnostics']), 'names to fix')
PY
clang-apply-replacements "$work/apply"
