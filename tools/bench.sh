#!/bin/sh
# Benchmarks: builds, then runs every bench_*.exe of the x86_64 build under Wine and
# every tools/bench-*.sh. They print figures; nothing here passes or fails on time.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
for program in "$root"/build/x86_64/bin/bench_*.exe; do
    [ -e "$program" ] || continue
    echo "== $(basename "$program")"
    "$root/build/x86_64/wine-run.sh" "$program"
done
for script in "$root"/tools/bench-*.sh; do
    [ -e "$script" ] || continue
    echo "== $(basename "$script")"
    "$script"
done
"$root/build/x86_64/stop-wine.sh"
