#!/bin/bash
# Starts a real POP3 server for test_pop3_dovecot or test_pop3_popa3d:
#   pop3-server-setup.sh dovecot|popa3d <dir>
# one user with the mails of pop3-mail/, a large generated one and 400 small ones,
# the same on both servers; then records the server's own answers (through a POP3
# exchange of tools/<server>.sh, not the client under test) in <dir>/expected.txt.
# On popa3d the small mails, which carry none of the headers popa3d makes its
# UIDLs from, all share one UIDL, as they would on a real popa3d.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
case "${1:-}" in
    dovecot | popa3d) ;;
    *) echo "usage: $0 dovecot|popa3d <dir>" >&2; exit 2 ;;
esac
harness="$here/../../tools/$1.sh"
dir=$2

"$harness" stop "$dir"
rm -rf "$dir"
mkdir -p "$dir/spool"
"$harness" adduser "$dir" pikuno 'pass word'

# A mail of about 300 KB: LIST must report its size with CR LF line ends. And
# enough small mails that the LIST reply outgrows the first reply buffer.
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

"$harness" addmail "$dir" pikuno "$here/pop3-mail/01-plain.eml" "$here/pop3-mail/02-iso2022jp.eml" \
    "$dir/spool/03-large.eml" "$dir/spool/small/"*.eml
cp "$here/pop3-mail/02-iso2022jp.eml" "$dir/spool/"
"$harness" start "$dir" >/dev/null
"$harness" view "$dir" pikuno >"$dir/expected.txt"
[ "$(wc -l <"$dir/expected.txt")" -eq 403 ] || { echo "unexpected view:"; cat "$dir/expected.txt"; exit 1; }
head -n 4 "$dir/expected.txt"
