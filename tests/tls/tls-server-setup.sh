#!/bin/bash
# Starts the Dovecot of the TLS tests: tls-server-setup.sh <certdir> <dir>
# ssl = required, STLS on its plain port and implicit TLS on a second one with
# tools/tls-certs.sh's certificates (one loopback address each), one user with
# a few mails, among them one of about 300 KB that spans many TLS records.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tools="$here/../../tools"
certdir=$1
dir=$2
"$tools/dovecot.sh" stop "$dir"
rm -rf "$dir"
mkdir -p "$dir/spool"
"$tools/dovecot.sh" adduser "$dir" pikuno 'pass word'
awk -v spool="$dir/spool" 'BEGIN {
    big = spool "/2-large.eml"
    printf "From: big@example.org\nSubject: large\n\n" >big
    for (i = 1; i <= 6000; i++)
        printf "line %05d of a large body, padded to about fifty bytes\n", i >big
    close(big)
    printf "From: a@example.org\nSubject: first\n\nhello\n" >(spool "/1-small.eml")
    printf "From: c@example.org\nSubject: third\n\nbye\n" >(spool "/3-small.eml")
}'
"$tools/dovecot.sh" addmail "$dir" pikuno "$dir/spool/1-small.eml" "$dir/spool/2-large.eml" "$dir/spool/3-small.eml"
"$tools/dovecot.sh" start "$dir" --tls "$certdir" >/dev/null
"$tools/dovecot.sh" view "$dir" pikuno >"$dir/expected.txt"
echo "plain/STLS port $(cat "$dir/port"), TLS port $(cat "$dir/tls-port")"
