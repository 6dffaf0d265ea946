#!/usr/bin/env bash
# JPEG decoding benchmark: our decoder beside djpeg on a folder of photographs.
#   usage: jpeg_decode.sh BENCH_BINARY [FOLDER] [PASSES]
# Without FOLDER the photo corpus is collected into a temporary folder first.
# Needs djpeg (Debian package libjpeg-turbo-progs).
set -euo pipefail
bench=${1:?usage: jpeg_decode.sh BENCH_BINARY [FOLDER] [PASSES]}
folder=${2:-}
passes=${3:-3}
command -v djpeg >/dev/null || { echo "djpeg is missing: apt-get install libjpeg-turbo-progs" >&2; exit 1; }
if [ -z "$folder" ]; then
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
  corpus=${PHOTO_CORPUS_SCRIPT:-}
  if [ -z "$corpus" ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    for c in "$here/../../shared/tools/photo-corpus.sh"; do
      [ -f "$c" ] && corpus=$c && break
    done
  fi
  [ -n "$corpus" ] || { echo "photo-corpus.sh not found; pass a folder" >&2; exit 1; }
  bash "$corpus" "$folder"
fi
"$bench" "$folder" "$passes" "$(command -v djpeg)"
