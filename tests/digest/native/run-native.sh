#!/bin/sh
# Builds the windows.h-free digest code natively (Linux): the reader and walk tests
# with AddressSanitizer and UndefinedBehaviorSanitizer (g++, Shift_JIS literals as on
# Windows), then a libFuzzer target (clang) that checks buffered against byte-wise
# reading, run for FUZZ_SECONDS (default 60) from the Python-written digests.
#   tests/digest/native/run-native.sh [output directory]
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=${1:-$root/build/native-digest}
seconds=${FUZZ_SECONDS:-60}
mkdir -p "$out"
sources="$root/plugin/digest/ByteSource.cpp $root/plugin/digest/TextBuffer.cpp $root/plugin/digest/LineReader.cpp
 $root/plugin/digest/MimeText.cpp $root/plugin/digest/MailNames.cpp $root/plugin/digest/DigestWalk.cpp
 $root/common/BoundedText.cpp"
includes="-I$root/plugin/digest -I$root/common"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

if [ ! -f "$out/libgtest.a" ]; then
    echo "== GoogleTest (native)"
    g++ -std=c++17 -O1 -I/usr/src/googletest/googletest/include -I/usr/src/googletest/googletest \
        -c /usr/src/googletest/googletest/src/gtest-all.cc -o "$out/gtest-all.o"
    g++ -std=c++17 -O1 -I/usr/src/googletest/googletest/include \
        -c /usr/src/googletest/googletest/src/gtest_main.cc -o "$out/gtest_main.o"
    ar rcs "$out/libgtest.a" "$out/gtest-all.o" "$out/gtest_main.o"
fi

echo "== reader and walk tests (native, ASan + UBSan)"
# shellcheck disable=SC2086
g++ -std=c++17 -O1 -g -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=CP932 $sanitize $includes \
    -I/usr/src/googletest/googletest/include $sources \
    "$root/tests/digest/TextBufferTest.cpp" "$root/tests/digest/LineReaderTest.cpp" \
    "$root/tests/digest/MimeTextTest.cpp" "$root/tests/digest/DigestWalkTest.cpp" \
    "$out/libgtest.a" -lpthread -o "$out/test_digest_reader_native"
"$out/test_digest_reader_native" --gtest_brief=1

echo "== fuzzing the reader and the walk for $seconds s (clang, libFuzzer + ASan + UBSan)"
# shellcheck disable=SC2086
clang++ -std=c++17 -O1 -g -Wno-format-zero-length -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all $includes $sources \
    "$root/tests/digest/native/FuzzDigestWalk.cpp" -o "$out/fuzz_digest_walk"
corpus="$out/corpus"
mkdir -p "$corpus"
for seed in "$root"/tests/digest/data/python/*.qnl; do
    name=$(basename "$seed" .qnl)
    # Walk mode (byte 0 even) and reader mode (byte 0 odd, eight program bytes).
    { printf '\000'; head -c 8000 "$seed"; } >"$corpus/walk-$name"
    { printf '\001\002\002\000\003\000\001\002\000'; head -c 4000 "$seed"; } >"$corpus/read-$name"
done
status=0
"$out/fuzz_digest_walk" -max_len=16384 -max_total_time="$seconds" -print_final_stats=1 "$corpus" \
    >"$out/fuzz.log" 2>&1 || status=$?
grep -E 'Done|stat::number_of_executed_units|ERROR|differ|SUMMARY' "$out/fuzz.log" || true
if [ "$status" -ne 0 ]; then
    echo "fuzzing failed (exit $status); see $out/fuzz.log and the crash-* file it names"
fi
exit "$status"
