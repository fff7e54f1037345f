#!/bin/sh
# Configures and builds both targets: build/i686 (the product) and build/x86_64
# (the same sources, run under wine64 by the tests and the demo).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
for target in i686 x86_64; do
    dir="$root/build/$target"
    # Configure every time: folders that appear (tests, libraries) are only picked
    # up by a fresh configure, and a configure of a cached tree takes a second.
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$target-w64-mingw32.cmake" >/dev/null
    echo "== build $target"
    cmake --build "$dir" -j "$jobs" -- --no-print-directory -s
done
