#!/usr/bin/env bash
# Runs the program itself on the ODBC engine through unixODBC and FreeTDS,
# against the TDS test server of the tests (tests/app/tds_test_server.py),
# with a company database of MB megabytes (default 20): a backup, the listing,
# and a restore that must bring the database back byte for byte. Prints what
# each step took.
#
# Usage: bash scripts/odbc_round_trip.sh
# Needs build/bin/P_Restore, python3 and Debian's tdsodbc.
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${MB:-20}
bin=build/bin/P_Restore
[ -x "$bin" ] || { echo "build $bin first" >&2; exit 2; }

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/exe" "$work/server"
cp "$bin" "$work/exe/P_Restore"
prog="$work/exe/P_Restore"
export QT_QPA_PLATFORM=offscreen

head -c $((mb * 1024 * 1024)) /dev/urandom >"$work/server/Zelvo10.mdf"
echo "1|Zelvo10|شركت نمونه|Data|1" >"$work/server/Alias_Zelvo.txt"
python3 tests/app/tds_test_server.py "$work/server" >"$work/port" &
server_pid=$!
until [ -s "$work/port" ]; do sleep 0.05; done
port=$(head -1 "$work/port")
connection() {
  echo "Driver=FreeTDS;Server=127.0.0.1;Port=$port;Database=$1;UID=backup;PWD=secret;TDS_Version=7.4;Timeout=10"
}
cat >"$work/exe/P_Restore.ini" <<EOF
[Database]
Engine=ODBC
MasterConnection=$(connection master)
CompanyConnection=$(connection Zelvo10)
EOF

step() {
  local what=$1
  shift
  local start end status=0
  start=$(date +%s%N)
  "$@" >"$work/out" 2>&1 || status=$?
  end=$(date +%s%N)
  printf '%-40s exit %d  %6d ms\n' "$what" "$status" $(((end - start) / 1000000))
  if [ $status -ne 0 ]; then sed 's/^/    /' "$work/out"; exit 1; fi
}

echo "ODBC through FreeTDS ($(dpkg-query -W -f='${Version}' tdsodbc)) to the TDS test server on port $port;" \
  "company database of $mb MB"
original=$(sha256sum <"$work/server/Zelvo10.mdf")
step "backup (BACKUP, VERIFYONLY, zip, test)" "$prog" --backup "$work/company.zip"
echo "    archive: $(stat -c %s "$work/company.zip") bytes, mode $(stat -c %a "$work/company.zip")"
step "list backups" "$prog" --list-backups
head -c 1024 /dev/urandom >"$work/server/Zelvo10.mdf"
step "restore (unzip, safety backup, RESTORE)" "$prog" --restore "$work/company.zip"
if [ "$(sha256sum <"$work/server/Zelvo10.mdf")" = "$original" ]; then
  echo "the restored database is the one backed up, byte for byte"
else
  echo "the restored database DIFFERS from the one backed up"; exit 1
fi
echo "the log:"
sed 's/^/    /' "$work/exe/P_Restore.log"
