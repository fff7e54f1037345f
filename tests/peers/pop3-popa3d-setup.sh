#!/bin/bash
# Starts the popa3d that test_pop3_popa3d talks to, with the same mails as
# tests/selective/pop3-dovecot-setup.sh gives Dovecot: the mails of
# tests/selective/pop3-mail/, a large generated one and 400 small ones; then
# records the server's own answers (through a POP3 exchange of tools/popa3d.sh,
# not the client under test). The small mails carry none of the headers popa3d
# makes its UIDLs from, so they all share one UIDL, as they would on a real
# popa3d.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
harness="$here/../../tools/popa3d.sh"
mails="$here/../selective/pop3-mail"
dir=$1

"$harness" stop "$dir"
rm -rf "$dir"
mkdir -p "$dir/spool"
"$harness" adduser "$dir" pikuno 'pass word'

mkdir -p "$dir/spool/small"
awk -v spool="$dir/spool" 'BEGIN {
    big = spool "/03-large.eml"
    printf "From: big@example.org\nTo: pikuno@example.jp\nSubject: large\n\n" >big
    for (i = 1; i <= 6000; i++)
        printf "line %05d of a large body, padded to about fifty bytes\n", i >big
    close(big)
    for (i = 1; i <= 400; i++) {
        small = sprintf("%s/small/%03d.eml", spool, i)
        printf "From: s%d@example.org\nSubject: small %d\n\n%*s\n", i, i, i % 97, "x" >small
        close(small)
    }
}'

"$harness" addmail "$dir" pikuno "$mails/01-plain.eml" "$mails/02-iso2022jp.eml" \
    "$dir/spool/03-large.eml" "$dir/spool/small/"*.eml
cp "$mails/02-iso2022jp.eml" "$dir/spool/"
"$harness" start "$dir" >/dev/null
"$harness" view "$dir" pikuno >"$dir/expected.txt"
[ "$(wc -l <"$dir/expected.txt")" -eq 403 ] || { echo "unexpected view:"; cat "$dir/expected.txt"; exit 1; }
head -n 4 "$dir/expected.txt"
