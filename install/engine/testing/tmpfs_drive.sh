#!/bin/sh
# A tmpfs of a given size shown to Wine as a drive of the test prefix: a
# small disk (a write past its size is cut short and then fails with "disk
# full", as on a floppy), or, with "ro", a drive whose folder "readonly"
# refuses every write, whoever writes (the Windows tests run as root). Wine
# does not list the root of a read-only mount, so that one is a folder of
# the drive.
#   tmpfs_drive.sh mount <wine-run> <mount dir> <drive letter> <size> [ro]
#   tmpfs_drive.sh unmount <wine-run> <mount dir> <drive letter>
set -u
action=$1 wine_run=$2 dir=$3 drive=$4
prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")
case $action in
  mount)
    size=$5 target=$dir options=size=$5
    if [ "${6:-}" = ro ]; then
      target=$dir/readonly options=$options,ro
    fi
    "$wine_run" cmd /c exit 0 >/dev/null 2>&1  # the prefix exists from here on
    mkdir -p "$target"
    mountpoint -q "$target" && umount "$target"
    mount -t tmpfs -o "$options" tmpfs "$target" || exit 1
    ln -sfn "$dir" "$prefix/dosdevices/$drive:"
    ;;
  unmount)
    rm -f "$prefix/dosdevices/$drive:"
    for mounted in "$dir/readonly" "$dir"; do
      mountpoint -q "$mounted" && umount "$mounted"
    done
    rmdir "$dir/readonly" "$dir" 2>/dev/null
    exit 0
    ;;
esac
