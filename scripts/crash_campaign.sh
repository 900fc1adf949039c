#!/usr/bin/env bash
# Runs the program as a scheduled job would, against a company database of
# some size, and prints what happens:
#
#  1. two runs at once: a backup, and a second backup started while the first
#     holds the company; the second must be refused (exit status 3);
#  2. a kill -9 campaign: RUNS restores and RUNS backups (20 each by default),
#     each killed at a random moment, and each followed by a clean backup and
#     restore that must succeed and leave a database whose integrity check
#     passes and whose data is unchanged.
#
# Usage: bash scripts/crash_campaign.sh [RUNS]   (MB=20 sets the company's size)
# Needs build/bin/P_Restore (cmake --build build --target P_Restore) and the
# sqlite3 command.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
mb=${MB:-20}
bin=build/bin/P_Restore
[ -x "$bin" ] || { echo "build $bin first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Outside its build tree the program keeps its data in $XDG_DATA_HOME/P_Restore:
# a copy of it gets folders of its own.
cp "$bin" "$work/P_Restore"
prog="$work/P_Restore"
export XDG_DATA_HOME="$work/xdg-data" XDG_CONFIG_HOME="$work/xdg-config"
data="$XDG_DATA_HOME/P_Restore"
export QT_QPA_PLATFORM=offscreen
# Nothing may build in the system's temporary folder: counted at the end.
export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"
"$prog" --list-backups >/dev/null 2>&1  # first start: the sample company
company="$data/Data/Zelvo10.db"
# Random bytes do not compress: the archive is as large as the database.
sqlite3 "$company" "CREATE TABLE Padding (b); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL
  SELECT i + 1 FROM n WHERE i < $((mb * 256))) INSERT INTO Padding SELECT randomblob(4096) FROM n;"
fingerprint() { sqlite3 "$company" .dump | sha256sum | cut -d' ' -f1; }
expected=$(fingerprint)
mkdir -p "$work/backups"
"$prog" --backup "$work/reference.zip" >/dev/null || { echo "reference backup failed" >&2; exit 1; }

# Milliseconds a run takes, to aim the kills inside it.
timed() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
backup_ms=$(timed "$prog" --backup-dir "$work/backups" --keep 3)
restore_ms=$(timed "$prog" --restore "$work/reference.zip")
echo "company database: $(du -h "$company" | cut -f1); a backup takes ${backup_ms} ms, a restore ${restore_ms} ms"

echo
echo "== two runs at once"
"$prog" --backup "$work/first.zip" >"$work/first.out" 2>&1 &
first=$!
# Started once the first one holds the company and has said so in its lock file.
until [ -s "$data/P_Restore-Zelvo10.lock" ] || ! kill -0 $first 2>/dev/null; do sleep 0.01; done
"$prog" --backup "$work/second.zip" >"$work/second.out" 2>&1
second_status=$?
wait $first
first_status=$?
echo "first backup:  exit $first_status"
echo "second backup: exit $second_status, $( [ -e "$work/second.zip" ] && echo "wrote" || echo "wrote no") archive; it said:"
sed 's/^/    /' "$work/second.out"

# The archives under a temporary name: the writer's (arc...) and those not yet
# read back (*.unverified-*), wherever they may lie.
temporary_files() {
  { find "$TMPDIR" "$data/Temp" -type f -name 'arc*'
    find "$work" "$work/backups" -maxdepth 1 -type f \( -name 'arc*' -o -name '*.unverified-*' \); } |
    wc -l
}

# One kill at a random moment of a run of `ms` milliseconds, then a clean
# backup and restore. Prints whether the kill caught the run ("killed" or
# "finished"), what the clean runs came to ("ok" or what failed) and how many
# temporary archives the kill left.
campaign_round() {
  local ms=$1
  shift
  "$@" >/dev/null 2>&1 &
  local pid=$!
  local delay=$((RANDOM % (ms + 1)))
  sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
  local state=finished
  kill -9 $pid 2>/dev/null && state=killed
  wait $pid 2>/dev/null
  local left
  left=$(temporary_files)
  if ! "$prog" --backup-dir "$work/backups" --keep 3 >"$work/clean.out" 2>&1; then
    echo "$state backup-failed $left"; sed 's/^/    /' "$work/clean.out" >&2; return
  fi
  local newest
  newest=$(ls -t "$work"/backups/Zelvo10-*.zip | head -1)
  if ! "$prog" --restore "$newest" >"$work/clean.out" 2>&1; then
    echo "$state restore-failed $left"; sed 's/^/    /' "$work/clean.out" >&2; return
  fi
  if [ "$(sqlite3 "$company" 'PRAGMA integrity_check')" != ok ]; then
    echo "$state integrity-failed $left"; return
  fi
  if [ "$(fingerprint)" != "$expected" ]; then echo "$state data-changed $left"; return; fi
  echo "$state ok $left"
}

for kind in restore backup; do
  echo
  echo "== kill -9 during $runs ${kind}s, each followed by a clean backup and restore"
  killed=0
  ok=0
  left_total=0
  for ((i = 1; i <= runs; i++)); do
    if [ $kind = restore ]; then
      read -r state result left < <(campaign_round "$restore_ms" "$prog" --restore "$work/reference.zip")
    else
      read -r state result left < <(campaign_round "$backup_ms" "$prog" --backup "$work/killed-$i.zip")
    fi
    [ "$state" = killed ] && killed=$((killed + 1))
    left_total=$((left_total + left))
    if [ "$result" = ok ]; then ok=$((ok + 1)); else echo "  round $i ($state): $result"; fi
  done
  echo "${kind}s killed while running: $killed of $runs"
  echo "clean backup + restore afterwards: $ok of $runs succeeded, integrity check ok, data unchanged"
  echo "temporary archives found right after the kills: $left_total; after the clean runs: $(temporary_files)"
done

echo
echo "files in Temp/ and TempBackup/ after the last clean run, safety backups aside:"
find "$data/Temp" "$data/TempBackup" -type f | grep -v -E '/Zelvo10-[0-9]{8}-[0-9]{6}(-[0-9]+)?\.Bak$' |
  sed 's/^/    /' || echo "    (none)"
echo "safety backups kept: $(find "$data/TempBackup" -name '*.Bak' | wc -l) (the default keeps 10)"
echo "files in \$TMPDIR: $(find "$TMPDIR" -type f | wc -l)"
echo "archives under a temporary name, in Temp/ or beside the backups: $(temporary_files)"
echo "archives of the killed backups that exist: $(find "$work" -maxdepth 1 -name 'killed-*.zip' | wc -l)," \
  "of which read back: $(for f in "$work"/killed-*.zip; do [ -e "$f" ] && unzip -tq "$f" >/dev/null 2>&1 && echo; done | wc -l)"
