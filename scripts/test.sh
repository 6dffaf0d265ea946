#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless; builds the
# Debian package and checks the installed copy; then runs the tests labelled
# "sanitized" (decoders, loader, writers, regression files, modules, listing
# core, viewer and main window) once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the listing tests labelled "threads" (the
# reading loop's worker thread) under ThreadSanitizer. Last, the program and
# its modules are built once more with clang, whose warnings are errors too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package-check.sh

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPELANDOR_SANITIZE=ON -DPELANDOR_BENCH=OFF
cmake --build build-asan -j"$(nproc)" --target pelandor_sanitized_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -L sanitized

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DPELANDOR_SANITIZE_THREAD=ON -DPELANDOR_BENCH=OFF
cmake --build build-tsan -j"$(nproc)" --target pelandor_thread_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/listing/tsan.supp" \
    ctest --test-dir build-tsan --output-on-failure -L threads

CC=clang CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELANDOR_TESTS=OFF \
    -DPELANDOR_BENCH=OFF
cmake --build build-clang -j"$(nproc)"
