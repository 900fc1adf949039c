#!/usr/bin/env bash
# Prints how often each folder of the library (and of the programs over it)
# includes each other folder, and fails when an include points the wrong way.
#
# The layers, lowest first: codec <- support <- core <- unzip <- zip <-
# tools, msg <- app. A file may include its own layer and the ones below.
# The public headers (include/arc/<layer>/) count as their layer; they may
# include only public headers, and tools/, msg/ and app/ reach the library
# only through them.
#
# Usage: scripts/include_graph.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# One line per include: "<including file> <line> <included path> <quote|angle>".
mapfile -t sources < <(find archive include tools msg app \
  \( -name '*.h' -o -name '*.cpp' \) -type f 2>/dev/null | sort)
grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "${sources[@]}" /dev/null |
  sed -E 's/^([^:]+):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)[>"].*/\1 \2 \4 \3/' |
  while read -r file line path quote; do
    dir=${file%/*}
    target=
    if [ "$quote" = '"' ] && [ -f "$dir/$path" ]; then
      target=$dir/$path
    elif [ -f "archive/$path" ]; then
      target=archive/$path
    elif [ -f "include/$path" ]; then
      target=include/$path
    elif [ "$quote" = '"' ] && [ -f "$path" ]; then
      target=$path
    fi
    [ -n "$target" ] && echo "$file $line $target"
  done |
  awk '
    function node(path,   p) {
      n = split(path, p, "/")
      if (p[1] == "archive") return p[2]
      if (p[1] == "include" && p[2] == "arc") return "arc/" p[3]
      return p[1]
    }
    function rank(name) {
      sub(/^arc\//, "", name)
      return (name in level) ? level[name] : -1
    }
    BEGIN {
      level["codec"] = 1; level["support"] = 2; level["core"] = 3
      level["unzip"] = 4; level["zip"] = 5
      level["tools"] = 6; level["msg"] = 6; level["app"] = 7
    }
    {
      from = node($1); to = node($3)
      count[from " " to]++
      bad = ""
      if (rank(from) < 0 || rank(to) < 0) bad = "outside the layers"
      else if (rank(to) > rank(from)) bad = "points up"
      else if (from ~ /^arc\// && to !~ /^arc\//) bad = "public header includes a private one"
      else if ((from == "tools" || from == "msg" || from == "app") && to in level && level[to] <= 5)
        bad = "reaches a private library header"
      if (bad != "") { problems[++nproblems] = $1 ":" $2 ": includes " $3 " (" bad ")" }
    }
    END {
      printf "%-12s %-12s %s\n", "from", "to", "includes"
      for (k in count) { split(k, ft, " "); keys[++nkeys] = sprintf("%d %-12s %-12s %d", rank(ft[1]), ft[1], ft[2], count[k]) }
      # sort by layer of the including folder, then by name
      for (i = 2; i <= nkeys; i++) for (j = i; j > 1 && keys[j - 1] > keys[j]; j--) { t = keys[j]; keys[j] = keys[j - 1]; keys[j - 1] = t }
      for (i = 1; i <= nkeys; i++) { sub(/^[0-9]+ /, "", keys[i]); print keys[i] }
      for (i = 1; i <= nproblems; i++) print "include_graph: " problems[i] > "/dev/stderr"
      if (nproblems > 0) { printf "include_graph: %d include(s) against the layers\n", nproblems > "/dev/stderr"; exit 1 }
    }'
