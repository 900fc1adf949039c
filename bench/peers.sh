#!/usr/bin/env bash
# peers.sh - arcz beside Info-ZIP zip/unzip, bsdtar and one core of zlib, in one run.
#
#   bench/peers.sh [RUNS]          best of RUNS (default 3) for every figure
#
# Environment:
#   ARCZ=path     the arcz to measure (default: build/bin/arcz of this tree)
#   TARGETS=...   where archives and extracted files go: "tmpfs disk" (default),
#                 tmpfs = /dev/shm/arcz-peers.PID, disk = /var/tmp/arcz-peers.PID
#                 (one folder per run: runs of several people on one machine
#                 must not remove each other's files)
#   OUT=file      where the summary goes as well (default: stdout only)
#   OPS="a x t d" which figures to take (default: all): a = add, x = extract,
#                 t = test, d = delete and refresh
#
# Input is the corpus of make_corpus.sh in /tmp/corpus (db_backup.bak,
# small_files/) and a set of 20,000 files of 1-4 KB that this script makes
# once in /tmp/corpus/files_20k (fixed seed and dates). Every tool works on
# the same input: `x`, `t`, `d` and `a -u` start from the archives made by
# zip (-6), so only the tool differs. Each command runs under /usr/bin/time -v;
# the summary gives per figure the best wall time, CPU time (user + system),
# peak RSS and archive size, then the ratios of the issue's table (peer time
# / arcz time: above 1 means arcz is faster).
set -euo pipefail

RUNS=${1:-3}
HERE=$(cd "$(dirname "$0")/.." && pwd)
ARCZ=${ARCZ:-$HERE/build/bin/arcz}
TARGETS=${TARGETS:-tmpfs disk}
CORPUS=/tmp/corpus
SET20K=$CORPUS/files_20k
OPS=${OPS:-a x t d}
want() { [[ " $OPS " == *" $1 "* ]]; }
RESULTS=$(mktemp)
trap 'rm -f "$RESULTS"' EXIT

for tool in zip unzip bsdtar python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install_packages.sh)" >&2; exit 1; }
done
[ -x "$ARCZ" ] || { echo "no arcz at $ARCZ (build it, or set ARCZ)" >&2; exit 1; }
[ -f $CORPUS/db_backup.bak ] && [ -d $CORPUS/small_files ] ||
  { echo "corpus missing: run make_corpus.sh first" >&2; exit 1; }

# ------------------------------------------------------------ 20,000 files
if [ ! -d "$SET20K" ] || [ -e "$SET20K.partial" ]; then
  echo "making $SET20K ..." >&2
  rm -rf "$SET20K"; touch "$SET20K.partial"
  python3 - "$SET20K" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20000)
words = ("invoice ledger account balance payment customer total tax net due paid "
         "open branch stock order item unit price discount status posted").split()
for i in range(20000):
    d = os.path.join(root, "d%03d" % (i // 200))
    os.makedirs(d, exist_ok=True)
    size = rng.randint(1000, 4000)
    out, n = [], 0
    while n < size:
        s = "%d,%s,%d.%02d\n" % (rng.randint(1, 99999), " ".join(rng.choice(words) for _ in range(4)),
                                 rng.randint(0, 99999), rng.randint(0, 99))
        out.append(s); n += len(s)
    with open(os.path.join(d, "f%05d.csv" % i), "w") as f:
        f.write("".join(out)[:size])
PY
  find "$SET20K" -exec touch -h -t 202401021030.00 {} +
  rm -f "$SET20K.partial"
fi

# measure OP TARGET TOOL SIZEFILE -- COMMAND...   (runs in $CORPUS)
measure() {
  local op=$1 target=$2 tool=$3 sizefile=$4
  shift 5
  local log; log=$(mktemp)
  if ! (cd $CORPUS && /usr/bin/time -v -o "$log" "$@" >/dev/null 2>&1); then
    echo "FAILED: $op $target $tool: $*" >&2
  fi
  local size=0
  [ -n "$sizefile" ] && [ -e "$sizefile" ] && size=$(stat -c %s "$sizefile")
  awk -v op="$op" -v target="$target" -v tool="$tool" -v size="$size" '
    /Elapsed \(wall clock\)/ { n = split($NF, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
    /User time/   { user = $NF }
    /System time/ { sys = $NF }
    /Maximum resident set size/ { rss = $NF }
    END { printf "%s\t%s\t%s\t%.3f\t%.3f\t%d\t%d\n", op, target, tool, wall, user + sys, rss, size }' \
    "$log" >>"$RESULTS"
  rm -f "$log"
}

zlib6() {   # zlib6 FILE SIZEFILE: one core of zlib level 6, raw Deflate, size counted
  python3 -c '
import sys, zlib
c = zlib.compressobj(6, zlib.DEFLATED, -15, 8)
n = 0
with open(sys.argv[1], "rb") as f:
    for b in iter(lambda: f.read(61440), b""):
        n += len(c.compress(b))
print(n + len(c.flush()))' "$1" >"$2"
}
export -f zlib6

for target in $TARGETS; do
  case $target in
    tmpfs) W=/dev/shm/arcz-peers.$$ ;;
    disk)  W=/var/tmp/arcz-peers.$$ ;;
    *) echo "unknown target $target" >&2; exit 1 ;;
  esac
  rm -rf "$W"; mkdir -p "$W"
  # Temporary archives on the target too, so that moving one into place is
  # a rename for every tool.
  export TMPDIR=$W
  # The reference archives everybody reads, made once per target.
  (cd $CORPUS && zip -q -6 "$W/ref_db.zip" db_backup.bak && zip -q -r "$W/ref_small.zip" small_files &&
    zip -q -r "$W/ref_20k.zip" files_20k)
  for run in $(seq "$RUNS"); do
    echo "target $target, run $run of $RUNS ..." >&2
    # add: one large file at level 6
    if want a; then
    rm -f "$W"/a6.*
    measure a6_db "$target" arcz "$W/a6.arcz.zip" -- "$ARCZ" a -6 "$W/a6.arcz.zip" db_backup.bak
    measure a6_db "$target" zip "$W/a6.zip.zip" -- zip -q -6 "$W/a6.zip.zip" db_backup.bak
    measure a6_db "$target" bsdtar "$W/a6.bsdtar.zip" -- bsdtar --format zip --options zip:compression-level=6 -cf "$W/a6.bsdtar.zip" db_backup.bak
    measure a6_db "$target" zlib6 "" -- bash -c "zlib6 db_backup.bak '$W/a6.zlib.size'"
    echo -e "a6_db\t$target\tzlib6\t-1\t-1\t0\t$(cat "$W/a6.zlib.size")" >>"$RESULTS"
    rm -f "$W"/a6.*
    # add: many small files
    for set in small_files files_20k; do
      rm -f "$W"/ar.*
      measure "ar_$set" "$target" arcz "$W/ar.arcz.zip" -- "$ARCZ" a -r "$W/ar.arcz.zip" "$set"
      measure "ar_$set" "$target" zip "$W/ar.zip.zip" -- zip -q -r "$W/ar.zip.zip" "$set"
      measure "ar_$set" "$target" bsdtar "$W/ar.bsdtar.zip" -- bsdtar --format zip -cf "$W/ar.bsdtar.zip" "$set"
      rm -f "$W"/ar.*
    done
    fi
    # extract and test
    for ref in db small 20k; do
      for tool in arcz unzip bsdtar; do
        want x || continue
        rm -rf "$W/x"; mkdir -p "$W/x"
        case $tool in
          arcz)   measure "x_$ref" "$target" arcz "" -- "$ARCZ" x "$W/ref_$ref.zip" -d "$W/x" ;;
          unzip)  measure "x_$ref" "$target" unzip "" -- unzip -q "$W/ref_$ref.zip" -d "$W/x" ;;
          bsdtar) measure "x_$ref" "$target" bsdtar "" -- bsdtar -xf "$W/ref_$ref.zip" -C "$W/x" ;;
        esac
      done
      rm -rf "$W/x"
      want t || continue
      measure "t_$ref" "$target" arcz "" -- "$ARCZ" t "$W/ref_$ref.zip"
      measure "t_$ref" "$target" unzip "" -- unzip -tq "$W/ref_$ref.zip"
      measure "t_$ref" "$target" bsdtar "" -- bash -c "bsdtar -xOf '$W/ref_$ref.zip' >/dev/null"
    done
    # delete one entry of the 20,000, and refresh with one changed file
    for tool in arcz zip; do
      want d || continue
      cp "$W/ref_20k.zip" "$W/d.zip"
      if [ $tool = arcz ]; then
        measure d_20k "$target" arcz "$W/d.zip" -- "$ARCZ" d "$W/d.zip" files_20k/d050/f10000.csv
      else
        measure d_20k "$target" zip "$W/d.zip" -- zip -q -d "$W/d.zip" files_20k/d050/f10000.csv
      fi
      cp "$W/ref_20k.zip" "$W/u.zip"
      changed=$SET20K/d050/f10001.csv
      cp -p "$changed" "$W/keep.csv"
      echo "changed line" >>"$changed"
      touch -t 202402021030.00 "$changed"
      if [ $tool = arcz ]; then
        measure u_20k "$target" arcz "$W/u.zip" -- "$ARCZ" a -r -u "$W/u.zip" files_20k
      else
        measure u_20k "$target" zip "$W/u.zip" -- zip -q -r -u "$W/u.zip" files_20k
      fi
      cp -p "$W/keep.csv" "$changed"
      rm -f "$W/d.zip" "$W/u.zip" "$W/keep.csv"
    done
  done
  rm -rf "$W"
done

python3 - "$RESULTS" "$RUNS" "$(nproc)" "$ARCZ" <<'PY' | tee ${OUT:-/dev/null}
import collections, sys
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1]) if l.strip()]
best = collections.OrderedDict()
for op, target, tool, wall, cpu, rss, size in rows:
    k = (op, target, tool)
    wall, cpu, rss, size = float(wall), float(cpu), int(rss), int(size)
    b = best.setdefault(k, [1e30, 1e30, 0, 0])
    if wall >= 0:
        b[0] = min(b[0], wall); b[1] = min(b[1], cpu)
    b[2] = max(b[2], rss); b[3] = size or b[3]
print("peers.sh: best of %s runs, %s cores, arcz = %s" % (sys.argv[2], sys.argv[3], sys.argv[4]))
print()
print("| op | target | tool | wall s | CPU s | peak RSS MB | bytes |")
print("|---|---|---|---|---|---|---|")
for (op, target, tool), (wall, cpu, rss, size) in best.items():
    if wall >= 1e29: continue
    print("| %s | %s | %s | %.2f | %.2f | %.1f | %s |" % (op, target, tool, wall, cpu, rss / 1024, size or ""))
def ratio(op, target, peer, what=0):
    a, p = best.get((op, target, "arcz")), best.get((op, target, peer))
    if not a or not p or a[what] <= 0 or a[what] >= 1e29 or p[what] >= 1e29: return "n/a"
    return "%.2f" % (p[what] / a[what])
def size_ratio(op, target, peer):
    a, p = best.get((op, target, "arcz")), best.get((op, target, peer))
    if not a or not p or not p[3]: return "n/a"
    return "%.4f" % (a[3] / p[3])
print()
print("| figure (peer time / arcz time) | " + " | ".join(t for t in dict.fromkeys(k[1] for k in best)) + " |")
targets = list(dict.fromkeys(k[1] for k in best))
print("|---|" + "---|" * len(targets))
figures = [
    ("`arcz a -6` db / one core of zlib-6 (wall)", lambda t: ratio("a6_db", t, "zlib6")),
    ("`arcz a -6` db / one core of zlib-6 (CPU)", lambda t: ratio("a6_db", t, "zlib6", 1)),
    ("`arcz a -6` db size / zlib-6 size", lambda t: size_ratio("a6_db", t, "zlib6")),
    ("`arcz a -6` db / `zip -6`", lambda t: ratio("a6_db", t, "zip")),
    ("`arcz a -r` small_files / `zip -r`", lambda t: ratio("ar_small_files", t, "zip")),
    ("`arcz a -r` 20,000 files / `zip -r`", lambda t: ratio("ar_files_20k", t, "zip")),
    ("`arcz x` db zip / bsdtar", lambda t: ratio("x_db", t, "bsdtar")),
    ("`arcz x` db zip / unzip", lambda t: ratio("x_db", t, "unzip")),
    ("`arcz x` small-files zip / unzip", lambda t: ratio("x_small", t, "unzip")),
    ("`arcz x` 20,000-file zip / unzip", lambda t: ratio("x_20k", t, "unzip")),
    ("`arcz d` one entry, 20,000-entry zip / `zip -d`", lambda t: ratio("d_20k", t, "zip")),
    ("`arcz a -u` one changed file, 20,000 / `zip -u`", lambda t: ratio("u_20k", t, "zip")),
    ("`arcz t` db zip / `unzip -t`", lambda t: ratio("t_db", t, "unzip")),
    ("`arcz t` small-files zip / `unzip -t`", lambda t: ratio("t_small", t, "unzip")),
]
for name, f in figures:
    print("| %s | %s |" % (name, " | ".join(f(t) for t in targets)))
rss = max(((v[2], k) for k, v in best.items() if k[2] == "arcz"), default=(0, None))
print()
print("arcz peak RSS over all figures: %.1f MB (%s)" % (rss[0] / 1024, " ".join(rss[1]) if rss[1] else "-"))
PY
