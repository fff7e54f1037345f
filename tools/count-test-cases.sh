#!/bin/sh
# Prints how many GoogleTest cases each test program of a build holds, and the sum:
# the figure to compare before and after moving tests around, so that none is lost.
#   tools/count-test-cases.sh [build folder]     (default: build/x86_64)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/x86_64}
[ -x "$build/wine-run.sh" ] || { echo "count-test-cases: build first ($build)" >&2; exit 1; }
total=0
for program in $(find "$build/bin" -name 'test_*.exe' | sort); do
    # Case lines are the indented ones; suite lines end in a dot.
    count=$("$build/wine-run.sh" "$program" --gtest_list_tests 2>/dev/null | tr -d '\r' | grep -c '^  ' || true)
    echo "$(basename "$program" .exe) $count"
    total=$((total + count))
done
echo "total $total"
