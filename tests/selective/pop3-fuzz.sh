#!/bin/sh
# Builds the reply-parser fuzz target natively (clang, libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a while.
#   pop3-fuzz.sh <work dir> [seconds]     exit 0: no finding; 77: no clang here
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root="$here/../.."
work=$1
seconds=${2:-20}
command -v clang++ >/dev/null 2>&1 || { echo "clang++ missing: not fuzzed"; exit 77; }
mkdir -p "$work/corpus"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/plugin/selective" \
    "$here/Pop3ReplyFuzz.cpp" "$root/plugin/selective/Pop3Reply.cpp" -o "$work/pop3_reply_fuzz"
# Seeds: replies of the kinds the session reads.
printf '+OK 2 320\r\n1 120\r\n2 200\r\n.\r\n' >"$work/corpus/list"
printf '+OK 2 messages (320 octets)\r\n1 120\r\n2 200\r\n.\r\n' >"$work/corpus/list-rfc"
printf '+OK 1 whqtswO00WBw418f9t5JxYwZ\r\n' >"$work/corpus/uidl"
printf -- '-ERR no such message\r\n' >"$work/corpus/refused"
printf '+OK\r\nSubject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n\r\n.\r\n' >"$work/corpus/top"
cd "$work"
status=0
./pop3_reply_fuzz -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 -error_exitcode=1 -timeout_exitcode=1 corpus >fuzz.log 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    cat fuzz.log
    echo "pop3-fuzz: finding (exit $status); the input is in $work/crash-* or leak-*"
    exit "$status"
fi
grep -E '^(Done|stat::)' fuzz.log
