#!/usr/bin/env bash
# Formats the tracked C and C++ files with .clang-format.
#
# Usage: scripts/format.sh          formats them in place
#        scripts/format.sh --check  lists the files that differ and fails
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- archive include tools app msg tests bench fuzz |
  grep -E '\.(c|cc|cpp|h|hpp)$')
if [ "${1:-}" = --check ]; then
  bad=()
  for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
  done
  if [ "${#bad[@]}" -ne 0 ]; then
    printf '%s\n' "${bad[@]}"
    echo "clang-format: ${#bad[@]} of ${#files[@]} file(s) differ (scripts/format.sh formats them)"
    exit 1
  fi
  echo "clang-format: ${#files[@]} file(s) as formatted"
elif [ $# -eq 0 ]; then
  clang-format -i "${files[@]}"
else
  echo "usage: $0 [--check]" >&2
  exit 2
fi
