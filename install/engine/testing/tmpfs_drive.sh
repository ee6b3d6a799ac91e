#!/bin/sh
# A tmpfs of a given size shown to Wine as a drive of the test prefix: a
# small disk (a write past its size is cut short and then fails with "disk
# full", as on a floppy) or, mounted read-only, a disk that refuses every
# write, whoever writes (the Windows tests run as root).
#   tmpfs_drive.sh mount <wine-run> <mount dir> <drive letter> <size> [ro]
#   tmpfs_drive.sh unmount <wine-run> <mount dir> <drive letter>
set -u
action=$1 wine_run=$2 dir=$3 drive=$4
prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")
case $action in
  mount)
    size=$5 options=size=$5
    [ "${6:-}" = ro ] && options=$options,ro
    "$wine_run" cmd /c exit 0 >/dev/null 2>&1  # the prefix exists from here on
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir"
    mount -t tmpfs -o "$options" tmpfs "$dir" || exit 1
    ln -sfn "$dir" "$prefix/dosdevices/$drive:"
    ;;
  unmount)
    rm -f "$prefix/dosdevices/$drive:"
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null
    exit 0
    ;;
esac
