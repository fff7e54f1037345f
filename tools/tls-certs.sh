#!/bin/bash
# Makes the certificates of the TLS tests with openssl, into <dir>:
#
#   tls-certs.sh <dir>
#
#   ca.pem ca.der           the test CA (trusted only inside the tests' own Wine prefixes)
#   good.pem/.key           localhost, issued by the test CA
#   othername.pem/.key      mail.example.org, issued by the test CA
#   expired.pem/.key        localhost, issued by the test CA, valid 2020-01-01 to 2021-01-01
#   selfsigned.pem/.key     localhost, signed by itself
#   selfsigned2.pem/.key    another one like it (a changed certificate)
#   untrusted.pem/.key      localhost, issued by a CA that nobody trusts (its issuer
#                           is not sent with it)
#   <name>.sha256           each certificate's SHA-256 fingerprint, 64 lower-case digits
#
# Certificates already made are kept (the CA trusted in a prefix stays valid), so
# the script is quick the second time. Keys are RSA 2048, certificates SHA-256.
set -eu
dir=${1:?usage: tls-certs.sh <dir>}
command -v openssl >/dev/null || { echo "tls-certs.sh: openssl not installed (Debian package openssl)" >&2; exit 1; }
mkdir -p "$dir"
cd "$dir"

names="good othername expired selfsigned selfsigned2 untrusted"
complete=1
for name in ca $names; do
    [ -s "$name.pem" ] && [ -s "$name.sha256" ] || complete=0
done
[ "$complete" -eq 0 ] || exit 0
rm -rf ./*.pem ./*.key ./*.der ./*.sha256 ./*.csr ./*.ext ca-db

key() { openssl genrsa -out "$1.key" 2048 2>/dev/null; }
ext() {  # <name> <dns name>
    printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nkeyUsage=digitalSignature,keyEncipherment\n' \
        "$2" >"$1.ext"
}
make_ca() {  # <name> <common name>
    key "$1"
    openssl req -x509 -new -key "$1.key" -sha256 -days 3650 -subj "/O=Pikuno tests/CN=$2" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign -out "$1.pem"
}
issue() {  # <name> <dns name> <ca>
    key "$1"
    ext "$1" "$2"
    openssl req -new -key "$1.key" -subj "/O=Pikuno tests/CN=$2" -out "$1.csr"
    openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -CAcreateserial -sha256 -days 825 \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}

make_ca ca "Pikuno test CA"
make_ca otherca "Pikuno untrusted CA"
issue good localhost ca
issue othername mail.example.org ca
issue untrusted localhost otherca
for name in selfsigned selfsigned2; do
    key "$name"
    openssl req -x509 -new -key "$name.key" -sha256 -days 825 -subj "/O=Pikuno tests/CN=localhost ($name)" \
        -addext subjectAltName=DNS:localhost -addext extendedKeyUsage=serverAuth -out "$name.pem"
done

# A certificate that has expired: only "openssl ca" sets dates in the past.
key expired
ext expired localhost
openssl req -new -key expired.key -subj "/O=Pikuno tests/CN=localhost (expired)" -out expired.csr
mkdir -p ca-db
: >ca-db/index.txt
echo 1000 >ca-db/serial
cat >ca-db/ca.conf <<CONF
[ca]
default_ca = test
[test]
database = ca-db/index.txt
serial = ca-db/serial
new_certs_dir = ca-db
default_md = sha256
policy = anything
copy_extensions = none
[anything]
organizationName = optional
commonName = supplied
CONF
openssl ca -batch -config ca-db/ca.conf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem \
    -startdate 20200101000000Z -enddate 20210101000000Z -extfile expired.ext -notext 2>/dev/null

openssl x509 -in ca.pem -outform DER -out ca.der
for name in ca $names; do
    openssl x509 -in "$name.pem" -outform DER | sha256sum | cut -c1-64 >"$name.sha256"
done
rm -rf ./*.csr ./*.ext ./*.srl ca-db otherca.key
chmod 644 ./*.pem ./*.key
