#!/bin/sh
# The test command: installs what is missing, builds both targets, runs every test:
# the x86_64 programs under wine64, the static checks of the i686 product, and the
# native sanitizer tests and fuzzers of the platform-free code.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
status=0
echo "== tests (x86_64 under wine64)"
(cd "$root/build/x86_64" && ctest --output-on-failure -j2) || status=1
"$root/build/x86_64/stop-wine.sh"
echo "== static checks (i686, the product)"
(cd "$root/build/i686" && ctest --output-on-failure) || status=1
"$root/tools/native-tests.sh" || status=1
if [ $status -eq 0 ]; then
    echo "== all tests passed"
else
    echo "== some tests failed"
fi
exit $status
