#!/bin/sh
# Splits one generated 20 MB digest of 2,000 messages with our splitter (under Wine,
# x86_64 build), with formail -ds (procmail) and with a splitter built on Python's
# email package, and prints the times side by side. Figures only: nothing passes
# or fails on time. The machine's load shows in every figure; compare within a run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/x86_64"
if [ ! -x "$build/bin/bench_digest.exe" ]; then
    cmake --build "$build" --target bench_digest -j2 >/dev/null
fi

work=$(mktemp -d /tmp/pikuno-bench-digest.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Account1/inbox.box"
digest="$work/Account1/inbox.box/00000001.qnl"
# Wine sees the Unix root as drive Z:.
windows_path="Z:$(printf '%s' "$digest" | tr '/' '\\')"

"$build/wine-run.sh" "$build/bin/bench_digest.exe" --write "$windows_path"

echo "-- our splitter (Wine, x86_64)"
"$build/wine-run.sh" "$build/bin/bench_digest.exe" "$windows_path" | tee "$work/ours.txt"
ours_walk=$(awk '$1 == "result" && $2 == "walk_buffered_s" {print $3}' "$work/ours.txt")
ours_split=$(awk '$1 == "result" && $2 == "split_with_temp_files_s" {print $3}' "$work/ours.txt")
ours_floor=$(awk '$1 == "result" && $2 == "temp_file_floor_s" {print $3}' "$work/ours.txt")
ours_bytes=$(awk '$1 == "result" && $2 == "walk_per_byte_estimated_s" {print $3}' "$work/ours.txt")

seconds() {
    # Runs "$@" and prints its wall time in seconds (best of three).
    best=""
    for run in 1 2 3; do
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        took=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$took < $best" | bc -l)" = 1 ]; then best=$took; fi
    done
    printf '%.3f' "$best"
}

echo "-- formail -ds (procmail)"
formail_time=$(seconds sh -c "formail -ds <'$digest' >'$work/formail.out'")
echo "formail -ds: $formail_time s (splits by its own rules: $(grep -c '^From ' "$work/formail.out" || true) mailbox entries written)"

echo "-- Python email splitter"
cat >"$work/split.py" <<'PY'
import email, email.policy, io, sys
from email.generator import BytesGenerator
with open(sys.argv[1], "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.compat32)
count = 0
for part in msg.get_payload():
    if part.get_content_type() == "message/rfc822":
        out = io.BytesIO()
        BytesGenerator(out, mangle_from_=False, maxheaderlen=0).flatten(part.get_payload(0))
        count += 1
print(count)
PY
python_time=$(seconds python3 "$work/split.py" "$digest")
echo "python email: $python_time s ($(python3 "$work/split.py" "$digest") messages)"

echo
echo "== digest split, $(du -m "$digest" | cut -f1) MB, 2000 messages (seconds)"
printf '%-44s %10s\n' "our walk, buffered reads (Wine)" "$ours_walk"
printf '%-44s %10s\n' "our SplitMailFile with temp files (Wine)" "$ours_split"
printf '%-44s %10s\n' "  of which the temp file calls alone" "$ours_floor"
printf '%-44s %10s\n' "our walk, one read per byte (estimated)" "$ours_bytes"
printf '%-44s %10s\n' "formail -ds (native)" "$formail_time"
printf '%-44s %10s\n' "Python email parse + flatten (native)" "$python_time"
