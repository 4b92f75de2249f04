#!/bin/sh
# full-disk.sh mount|umount DIR: a file system of 1 MiB on DIR, for runs
# that fill their temp folder. Mounting needs root; where it fails, the test
# that needs it skips and says why.
dir=$2
case "$1" in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" ||
      mount -t tmpfs -o size=1m tessaly-full-disk "$dir" ||
      echo "full-disk.sh: cannot mount a 1 MiB file system on $dir"
    ;;
  umount)
    ! mountpoint -q "$dir" || umount "$dir"
    ;;
esac
exit 0
