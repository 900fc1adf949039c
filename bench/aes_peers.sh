#!/usr/bin/env bash
# aes_peers.sh - AES-256 encryption and decryption through arcz beside 7z, in one run.
#
#   bench/aes_peers.sh [RUNS]      best of RUNS (default 3) for every figure
#
# Environment:
#   ARCZ=path   the arcz to measure (default: build/bin/arcz of this tree)
#   WORK=dir    where the archives go (default /dev/shm/arcz-aes, a tmpfs, so
#               that the disk does not set the pace)
#
# Input: /tmp/corpus/db_backup.bak of make_corpus.sh. Encryption is timed in
# store mode (arcz a --store -p, 7z a -tzip -mem=AES256 -mx=0), so the figure
# is the cipher and the authentication code, not the compressor; then both
# tools test (decrypt, authenticate, CRC) both archives. Figures are MB/s of
# the plain file (10^6 bytes), from the best wall time, with the CPU time
# (user + system) beside it: 7z may run more than one thread.
set -euo pipefail

RUNS=${1:-3}
HERE=$(cd "$(dirname "$0")/.." && pwd)
ARCZ=${ARCZ:-$HERE/build/bin/arcz}
WORK=${WORK:-/dev/shm/arcz-aes}
INPUT=/tmp/corpus/db_backup.bak
PW='bench pass phrase'

for tool in 7z /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install_packages.sh)" >&2; exit 1; }
done
[ -x "$ARCZ" ] || { echo "no arcz at $ARCZ (build it, or set ARCZ)" >&2; exit 1; }
[ -f "$INPUT" ] || { echo "corpus missing: run make_corpus.sh first" >&2; exit 1; }

rm -rf "$WORK"; mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT
# arcz builds the new archive in the temporary folder and renames it into
# place: there, too, it is beside the archive, as 7z's output is.
export TMPDIR="$WORK"
cp "$INPUT" "$WORK/db_backup.bak"   # both tools read it from the same tmpfs
SIZE=$(stat -c %s "$INPUT")
RESULTS="$WORK/results"

# measure NAME -- COMMAND...   (runs in $WORK; one line "NAME wall user sys" per run)
measure() {
  local name=$1; shift 2
  local log="$WORK/time.log"
  if ! (cd "$WORK" && /usr/bin/time -f '%e %U %S' -o "$log" "$@" >/dev/null 2>&1); then
    echo "failed: $*" >&2; exit 1
  fi
  echo "$name $(cat "$log")" >> "$RESULTS"
}

for run in $(seq "$RUNS"); do
  rm -f "$WORK"/*.zip
  measure "encrypt arcz  (arcz a --store -p)" -- "$ARCZ" a -q --store -p "$PW" arcz.zip db_backup.bak
  measure "encrypt 7z    (7z a -mem=AES256 -mx=0)" -- 7z a -tzip -mem=AES256 -mx=0 "-p$PW" 7z.zip db_backup.bak
  for archive in arcz 7z; do
    measure "decrypt arcz  (arcz t -p, $archive's archive)" -- "$ARCZ" t -q -p "$PW" $archive.zip
    measure "decrypt 7z    (7z t -p, $archive's archive)" -- 7z t "-p$PW" $archive.zip
  done
done

python3 - "$RESULTS" "$SIZE" "$RUNS" "$(nproc)" <<'PY'
import collections, sys
best = collections.OrderedDict()
for line in open(sys.argv[1]):
    parts = line.rsplit(" ", 3)
    name, wall, cpu = parts[0], float(parts[1]), float(parts[2]) + float(parts[3])
    b = best.setdefault(name, [1e30, 1e30])
    b[0], b[1] = min(b[0], wall), min(b[1], cpu)
mb = int(sys.argv[2]) / 1e6
print("aes_peers.sh: AES-256 on db_backup.bak (%.1f MB), best of %s runs, %s cores" % (mb, sys.argv[3], sys.argv[4]))
print()
print("| figure | wall s | CPU s | MB/s (wall) | MB/s per CPU second |")
print("|---|---:|---:|---:|---:|")
for name, (wall, cpu) in best.items():
    print("| %s | %.2f | %.2f | %.0f | %.0f |" % (name, wall, cpu, mb / max(wall, 1e-9), mb / max(cpu, 1e-9)))
PY
