#!/bin/sh
# Builds the Subject-extraction fuzz target natively (clang, libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs it for a while.
#   subject-fuzz.sh <work dir> [seconds]     exit 0: no finding; 77: no clang here
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root="$here/../.."
work=$1
seconds=${2:-20}
command -v clang++ >/dev/null 2>&1 || { echo "clang++ missing: not fuzzed"; exit 77; }
mkdir -p "$work/corpus"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/plugin/selective" -I"$root/common" \
    "$here/SubjectExtractFuzz.cpp" "$root/plugin/selective/SubjectExtract.cpp" \
    "$root/plugin/selective/HeaderDecode.cpp" "$root/plugin/selective/Pop3Reply.cpp" \
    "$root/common/BoundedText.cpp" -o "$work/subject_fuzz" 2>"$work/build.log" || { cat "$work/build.log"; exit 1; }
# Seeds: TOP replies of the kinds servers send.
printf '+OK\r\nSubject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n\r\n.\r\n' >"$work/corpus/iso2022jp"
printf '+OK\r\nFrom: a@example.jp\r\nSubject: plain\r\n\r\n.\r\n' >"$work/corpus/ascii"
printf '+OK\r\nSUBJECT:\x1b$B%%F%%9%%H\x1b(B\r\n.\r\n' >"$work/corpus/jis"
printf '+OK\r\nSubject: =?SHIFT_JIS?B?g2WDWINn?= =?EUC-JP?B?pcaluaXI?=\r\n.\r\n' >"$work/corpus/mixed"
printf -- '-ERR no such message\r\n' >"$work/corpus/refused"
cd "$work"
status=0
./subject_fuzz -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 -error_exitcode=1 -timeout_exitcode=1 corpus >fuzz.log 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    cat fuzz.log
    echo "subject-fuzz: finding (exit $status); the input is in $work/crash-* or leak-*"
    exit "$status"
fi
grep -E '^(Done|stat::)' fuzz.log
