#!/bin/sh
# Native checks of the platform-free code: builds tests/native with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, runs its tests, then runs each
# fuzz target for a fixed time (PIKUNO_FUZZ_SECONDS, 60 by default; 0 skips them).
# A fuzz target that finds a fault fails the run and leaves the input in
# build/native/findings/ (copy it to tests/fuzz/regressions/<target>/).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${PIKUNO_FUZZ_SECONDS:-60}
build="$root/build/native"
jobs=$(nproc 2>/dev/null || echo 2)

CXX=${CXX:-clang++} cmake -S "$root/tests/native" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "== build native (clang, ASan + UBSan)"
cmake --build "$build" -j "$jobs" -- --no-print-directory -s

status=0
echo "== native tests"
(cd "$build" && ctest --output-on-failure -j "$jobs") || status=1

if [ "$seconds" -gt 0 ]; then
    findings="$build/findings"
    mkdir -p "$findings"
    for fuzzer in "$build"/fuzz/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        name=$(basename "$fuzzer")
        target=${name#fuzz_}
        # New inputs go to a scratch folder; the committed seeds are read only.
        work="$build/fuzz-work/$target"
        mkdir -p "$work"
        echo "== $name for ${seconds} s"
        if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
                -print_final_stats=1 -artifact_prefix="$findings/$target-" \
                "$work" "$root/tests/fuzz/corpus/$target" >"$build/$name.log" 2>&1; then
            grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" | tail -1
        else
            echo "$name found a fault:"
            grep -E 'ERROR|property violated|runtime error|SUMMARY' "$build/$name.log" | head -5
            ls "$findings" | grep "^$target-" || true
            status=1
        fi
    done
fi
exit $status
