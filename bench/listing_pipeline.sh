#!/usr/bin/env bash
# Pipeline benchmark of the folder listing: the headless thumbnail run beside
# djpeg full decodes of the same photographs.
#   usage: listing_pipeline.sh BENCH_BINARY [FOLDER] [PASSES]
# Without FOLDER the photo corpus is collected into a temporary folder first.
# Needs djpeg (Debian package libjpeg-turbo-progs).
set -euo pipefail
bench=${1:?usage: listing_pipeline.sh BENCH_BINARY [FOLDER] [PASSES]}
folder=${2:-}
passes=${3:-3}
command -v djpeg >/dev/null || { echo "djpeg is missing: apt-get install libjpeg-turbo-progs" >&2; exit 1; }
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
"$bench" "$folder" "$(command -v djpeg)" "$passes"
