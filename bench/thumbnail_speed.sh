#!/usr/bin/env bash
# Thumbnail speed benchmark: the plain libjpeg-turbo loop beside
# `pelandor --thumbnails` and the main window reading the photo corpus,
# alternating, best of PASSES.
#   usage: thumbnail_speed.sh BUILD_DIR [FOLDER] [PASSES]
# Without FOLDER the photo corpus is collected into a temporary folder first.
set -euo pipefail
build=$(cd "${1:?usage: thumbnail_speed.sh BUILD_DIR [FOLDER] [PASSES]}" && pwd)
folder=${2:-}
passes=${3:-3}
if [ -z "$folder" ]; then
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
  here=$(cd "$(dirname "$0")" && pwd)
  corpus=${PHOTO_CORPUS_SCRIPT:-}
  for c in "$here/../../shared/tools/photo-corpus.sh"; do
    [ -z "$corpus" ] && [ -f "$c" ] && corpus=$c
  done
  [ -n "$corpus" ] || { echo "photo-corpus.sh not found; pass a folder" >&2; exit 1; }
  bash "$corpus" "$folder"
fi
"$build/bench/bench_thumbnail_speed" "$build/bench/plain_thumbnail_loop" "$build/bin/pelandor" "$folder" "$passes" \
  "$build/bin/bench_window_reading"
