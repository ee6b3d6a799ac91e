#!/bin/sh
# A 64 KB floppy for the Windows spanning test: a size-limited tmpfs shown
# to Wine as drive S:, where a write past the size is cut short and then
# fails with "disk full", as on a real floppy.
#   floppy.sh mount|unmount <wine-run> <mount dir>
set -u
action=$1 wine_run=$2 dir=$3
prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")
case $action in
  mount)
    "$wine_run" cmd /c exit 0 >/dev/null 2>&1  # the prefix exists from here on
    mkdir -p "$dir"
    mountpoint -q "$dir" || mount -t tmpfs -o size=64k tmpfs "$dir" || exit 1
    rm -f "$dir"/*
    ln -sfn "$dir" "$prefix/dosdevices/s:"
    ;;
  unmount)
    rm -f "$prefix/dosdevices/s:"
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null
    exit 0
    ;;
esac
