#!/usr/bin/env bash
# package_test.sh BUILD_DIR - makes the Debian package from BUILD_DIR (built
# already), has lintian check it (errors fail, warnings are printed), installs
# it with dpkg, uses the installed programs from /usr/bin as a user would, and
# removes the package again. Skips the installation when p-restore is
# installed on this machine already.
set -euo pipefail
build=$(cd "$1" && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

rm -f "$build"/p-restore_*.deb
(cd "$build" && cpack -G DEB >/dev/null 2>&1)
deb=$(ls "$build"/p-restore_*.deb)
echo "-- $(basename "$deb"), Depends: $(dpkg-deb -f "$deb" Depends)"
set +e
report=$(lintian --fail-on error "$deb" 2>&1)
lint=$?
set -e
echo "$report" | grep -v 'running with root privileges' | sed 's/^/   /' || true
[ "$lint" -eq 0 ] || { echo "-- lintian found errors"; exit 1; }
desktop-file-validate "$(dirname "$0")/../dist/P_Restore.desktop"

if dpkg-query -W -f='${Status}' p-restore 2>/dev/null | grep -q 'install ok installed'; then
  echo "-- p-restore is installed here already: the installation test is skipped"
  exit 0
fi
work=$(mktemp -d)
cleanup() {
  $SUDO dpkg --purge p-restore >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
$SUDO dpkg -i "$deb" >/dev/null

/usr/bin/P_Restore --help | grep -q -- '--backup'
# arcz: a folder into an archive and back.
mkdir -p "$work/in/sub"
head -c 300000 /dev/urandom >"$work/in/random.bin"
seq 1 40000 >"$work/in/sub/numbers.txt"
(cd "$work" && /usr/bin/arcz a round.zip -r in >/dev/null && /usr/bin/arcz t round.zip >/dev/null &&
  /usr/bin/arcz x round.zip -d out >/dev/null)
diff -r "$work/in" "$work/out/in"
# P_Restore, installed, keeps its data in the user's data folder, in English
# when asked.
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$work/home" \
  /usr/bin/P_Restore --lang en --backup "$work/nightly.zip" >"$work/backup.log"
grep -q 'completed successfully' "$work/backup.log"
test -f "$work/home/.local/share/P_Restore/Data/master.db"
/usr/bin/arcz t "$work/nightly.zip" >/dev/null
test ! -e /usr/bin/Data

$SUDO dpkg --purge p-restore >/dev/null
test ! -e /usr/bin/P_Restore
echo "== package: lintian without errors, installed, used from /usr/bin and removed"
