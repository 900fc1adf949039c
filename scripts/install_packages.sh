#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt (and any given as
# arguments) that are not installed yet. Runs apt-get update at most once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=$(grep -v '^#' "$here/packages.txt" | tr -s ' \n' '\n' | sed '/^$/d')
wanted="$wanted
$*"
missing=()
for p in $wanted; do
  st=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$st" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
