#!/usr/bin/env bash
# Runs one libFuzzer target for SECONDS seconds (or until RUNS executions,
# when given) at the lowest priority and prints the executions reached and
# the findings.
#   scripts/fuzz.sh TARGET SECONDS [RUNS]   e.g. scripts/fuzz.sh module_png 300
#                                            or  scripts/fuzz.sh bmp 3600 10000000
# Targets: bmp jpeg module_dib module_png module_gif module_tiff module_webp
# module_avif module_heif module_jxl settings module_reply thumbnail_cache. The fuzzers are built with clang into
# build-fuzz/; the corpus grows in build-fuzz/corpus/TARGET, seeded from the
# test pictures and the regression files; inputs that crash, leak, time out
# or run out of memory land in build-fuzz/findings/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 TARGET SECONDS [RUNS]" >&2
    exit 2
fi
target=$1
seconds=$2
runs=()
[ $# -eq 3 ] && runs=(-runs="$3")
tree=build-fuzz

if [ ! -f "$tree/CMakeCache.txt" ]; then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    CC=clang CXX=clang++ cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELANDOR_FUZZ=ON \
        -DPELANDOR_TESTS=OFF -DPELANDOR_BENCH=OFF "${launcher[@]}" >/dev/null
fi
nice -n 19 cmake --build "$tree" -j2 --target "fuzz_$target" >/dev/null

# Seeds: the test pictures of the target's format and its regression files.
seeds=()
case $target in
    bmp) seeds=(tests/decode/data/*.bmp tests/decode/data/regressions/*.bmp) ;;
    jpeg) seeds=(tests/decode/data/*.jpg tests/decode/data/regressions/*.jpg) ;;
    module_dib) seeds=(fuzz/seeds/module_dib/*) ;;
    settings) seeds=(fuzz/seeds/settings/*) ;;
    module_reply) seeds=(fuzz/seeds/module_reply/*) ;;
    thumbnail_cache) seeds=(fuzz/seeds/thumbnail_cache/*) ;;
    module_heif) seeds=(tests/plugin/data/*.heic tests/plugin/data/regressions/*.heic) ;;
    module_*)
        ext=${target#module_}
        [ "$ext" = tiff ] && ext=tif
        seeds=(tests/plugin/data/*."$ext" tests/plugin/data/regressions/*."$ext") ;;
    *) echo "unknown target: $target" >&2; exit 2 ;;
esac
corpus=$tree/corpus/$target
findings=$tree/findings/$target
mkdir -p "$corpus" "$findings"
for seed in "${seeds[@]}"; do
    [ -f "$seed" ] && cp -n "$seed" "$corpus/"
done
dict=()
if [ -f "fuzz/dict/${target#module_}.dict" ]; then
    dict=(-dict="fuzz/dict/${target#module_}.dict")
fi

log=$tree/fuzz-$target.log
# 2 GiB of memory and 10 s per input count as findings, as does any leak.
set +e
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    nice -n 19 "$tree/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" "${runs[@]}" "${dict[@]}" "$corpus" >"$log" 2>&1
status=$?
set -e
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
count=$(find "$findings" -type f | wc -l)
echo "target:     $target"
echo "seconds:    $seconds"
echo "executions: ${executions:-unknown}"
echo "corpus:     $(find "$corpus" -type f | wc -l) inputs"
echo "findings:   $count (in $findings)"
if [ $status -ne 0 ]; then
    grep -m1 -E "ERROR|SUMMARY|deadly signal|out-of-memory|timeout" "$log" || true
    echo "log:        $log"
    exit 1
fi
