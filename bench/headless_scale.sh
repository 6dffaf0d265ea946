#!/usr/bin/env bash
# The headless commands over a very large folder of tiny bitmaps: makes the
# folder (unless it holds files already), then runs `--report --sort none`,
# the sorted `--report` and `--thumbnails`, each with a fresh thumbnail cache,
# and prints each one's pace per STEP files, its pace ratio (last STEP files
# against the first; the first holds the listing of the whole folder), peak
# resident memory, wall and CPU time. The folder
# and the bitmaps written are removed at the end unless KEEP=1.
#   usage: headless_scale.sh BUILD_DIR FOLDER [COUNT] [STEP] [THUMBNAIL_COUNT]
# COUNT defaults to 1,000,000 and STEP to 100,000. --thumbnails writes a
# 27 KB bitmap per file: it runs on THUMBNAIL_COUNT files only
# (default COUNT; 0 skips it), made in a folder of their own when fewer.
set -euo pipefail
usage="usage: headless_scale.sh BUILD_DIR FOLDER [COUNT] [STEP] [THUMBNAIL_COUNT]"
build=$(cd "${1:?$usage}" && pwd)
folder=${2:?$usage}
count=${3:-1000000}
step=${4:-100000}
thumbnailCount=${5:-$count}
bench=$build/bench/bench_headless_scale
pelandor=$build/bin/pelandor
work=$(mktemp -d)
cleanup() {
  rm -rf "$work"
  [ "${KEEP:-0}" = 1 ] || rm -rf "$folder"
}
trap cleanup EXIT

if [ ! -d "$folder" ] || [ -z "$(ls -A "$folder" 2>/dev/null | head -1)" ]; then
  echo "== making $count files in $folder"
  "$bench" make "$folder" "$count"
fi
echo "== disk: $(df -h --output=avail "$folder" | tail -1) free; load: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== pelandor --report --sort none"
XDG_CACHE_HOME=$work/cache1 "$bench" run "$step" -- "$pelandor" --report "$folder" --sort none
# The sorted report prints when everything is read: its total only.
echo "== pelandor --report (sorted by name)"
XDG_CACHE_HOME=$work/cache2 "$bench" run "$count" -- "$pelandor" --report "$folder"

if [ "$thumbnailCount" -gt 0 ]; then
  source=$folder
  if [ "$thumbnailCount" -lt "$count" ]; then
    source=$work/subset
    "$bench" make "$source" "$thumbnailCount"
  fi
  echo "== pelandor --thumbnails ($thumbnailCount files; $(df -h --output=avail "$work" | tail -1) free)"
  XDG_CACHE_HOME=$work/cache3 "$bench" run "$step" --watch "$work/out" -- \
    "$pelandor" --thumbnails "$source" "$work/out"
  rm -rf "$work/out"
fi
