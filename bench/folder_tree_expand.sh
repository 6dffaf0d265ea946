#!/bin/sh
# Makes a folder with 10,000 subfolders (some hidden, some with a subfolder of
# their own so that the has-subfolders hint has work to do) and times its
# first expansion in the folder tree.
# Usage: folder_tree_expand.sh <build folder> [work folder]
set -eu
build=${1:?usage: folder_tree_expand.sh <build folder> [work folder]}
work=${2:-${TMPDIR:-/tmp}/pelandor-bench-tree}
big="$work/big"
if [ ! -d "$big" ] || [ "$(find "$big" -mindepth 1 -maxdepth 1 -type d | wc -l)" -ne 10000 ]; then
    rm -rf "$work"
    mkdir -p "$big"
    cd "$big"
    i=0
    while [ $i -lt 10000 ]; do
        case $((i % 10)) in
            0) name=".hidden$i" ;;
            1) name="Folder $i" ;;
            *) name="folder$i" ;;
        esac
        mkdir "$name"
        [ $((i % 7)) -eq 0 ] && mkdir "$name/sub"
        i=$((i + 1))
    done
    cd - >/dev/null
fi
# Cold-ish and warm runs: the first may include reading the folders from disk.
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/bench_folder_tree_expand" "$work"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/bench_folder_tree_expand" "$work"
