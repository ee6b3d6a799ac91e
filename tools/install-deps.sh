#!/bin/sh
# Installs the Debian packages that are missing, and only those. Package
# lists: tools/packages.apt and any <component>/packages.apt.
set -eu
cd "$(dirname "$0")/.."

wanted=$(cat tools/packages.apt */packages.apt 2>/dev/null | sed 's/#.*//' | tr -s ' \t' '\n' | sort -u)
missing=""
for pkg in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $pkg" ;;
  esac
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
if echo "$missing" | grep -q ':i386'; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing
