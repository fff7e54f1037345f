#!/bin/bash
# Starts the Dovecot that test_pop3_dovecot talks to: one user with the mails of
# pop3-mail/ and a large generated one, then records the server's own answers
# (through a POP3 exchange of tools/dovecot.sh, not the client under test).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
harness="$here/../../tools/dovecot.sh"
dir=$1

"$harness" stop "$dir"
rm -rf "$dir"
mkdir -p "$dir/spool"
"$harness" adduser "$dir" pikuno 'pass word'

# A mail of about 300 KB: LIST must report its size with CR LF line ends.
{
    printf 'From: big@example.org\nTo: pikuno@example.jp\nSubject: large\n\n'
    for i in $(seq 1 6000); do
        printf 'line %05d of a large body, padded to about fifty bytes\n' "$i"
    done
} >"$dir/spool/03-large.eml"

"$harness" addmail "$dir" pikuno "$here/pop3-mail/01-plain.eml" "$here/pop3-mail/02-iso2022jp.eml" \
    "$dir/spool/03-large.eml"
cp "$here/pop3-mail/02-iso2022jp.eml" "$dir/spool/"
"$harness" start "$dir" >/dev/null
"$harness" view "$dir" pikuno >"$dir/expected.txt"
[ "$(wc -l <"$dir/expected.txt")" -eq 3 ] || { echo "unexpected view:"; cat "$dir/expected.txt"; exit 1; }
cat "$dir/expected.txt"
