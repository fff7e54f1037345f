#!/bin/sh
# Fuzzes the header decoding natively (clang, libFuzzer, AddressSanitizer): the
# decoding includes no Windows header, so it builds for the machine itself.
# Usage: tests/selective/fuzz/fuzz-decode.sh [seconds]   (default 60)
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-60}
work="$root/build/fuzz-decode"
mkdir -p "$work/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/plugin/selective" \
    "$root/plugin/selective/HeaderDecode.cpp" "$root/tests/selective/fuzz/HeaderDecodeFuzz.cpp" \
    -o "$work/fuzz_decode"
# Seeds: the real subjects of the unit tests, one per file.
python3 - "$root/tests/selective/HeaderDecodeSubjects.inc" "$work/corpus" <<'PY'
import ast, re, sys
text = open(sys.argv[1], encoding="utf-8").read()
sources = re.findall(r'\{((?:"(?:[^"\\]|\\.)*"\s*)+),', text)
for n, literal in enumerate(sources):
    pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', literal)
    data = b"".join(ast.literal_eval('b"' + p + '"') for p in pieces)
    open(f"{sys.argv[2]}/subject{n:02d}", "wb").write(data)
PY
"$work/fuzz_decode" -max_total_time="$seconds" -max_len=512 -print_final_stats=1 "$work/corpus"
