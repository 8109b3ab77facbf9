#!/bin/sh
# The small file system of the disk-full test, as a fixture of the end-to-end tests:
#   fault_fs.sh mount <dir>    mounts a 4 MiB tmpfs on <dir>; where that cannot be done
#                              (not root, no tmpfs), <dir>.why says why and the test skips
#   fault_fs.sh unmount <dir>
# Either way it succeeds, so that the tests that need no such file system still run.
set -u
action=$1 dir=$2
case $action in
  mount)
    rm -f "$dir.why"
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir" 2>/dev/null
    if ! out=$(mount -t tmpfs -o size=4m,mode=0777 qvfaultfs "$dir" 2>&1); then
      echo "a 4 MiB tmpfs cannot be mounted on $dir (the disk-full test needs root): $out" >"$dir.why"
    fi
    ;;
  unmount)
    mountpoint -q "$dir" && umount "$dir"
    ;;
esac
exit 0
