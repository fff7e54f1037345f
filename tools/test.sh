#!/bin/sh
# The test command: installs what is missing, builds both targets, runs every test:
# first the i686 product in wine64's 32-on-64-bit mode, then its x86_64 twin under
# wine64 (each with its own prefix and display), then the native sanitizer tests and
# fuzzers of the platform-free code. Each suite's time is printed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
status=0
for target in i686 x86_64; do
    if [ "$target" = i686 ]; then
        echo "== tests (i686, the product, in wine64's 32-on-64-bit mode)"
    else
        echo "== tests (x86_64 under wine64)"
    fi
    start=$(date +%s)
    (cd "$root/build/$target" && ctest --output-on-failure -j2) || status=1
    "$root/build/$target/stop-wine.sh"
    echo "== $target suite: $(( $(date +%s) - start )) s"
done
start=$(date +%s)
"$root/tools/native-tests.sh" || status=1
echo "== native suite: $(( $(date +%s) - start )) s"
if [ $status -eq 0 ]; then
    echo "== all tests passed"
else
    echo "== some tests failed"
fi
exit $status
