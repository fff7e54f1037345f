#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent and quiet when everything is already there.
set -eu

PACKAGES="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 \
binutils-mingw-w64-x86-64 wine64 xvfb xauth x11-utils locales googletest dovecot-pop3d \
fonts-ipafont-gothic fonts-wine imagemagick procmail python3 bc clang libclang-rt-14-dev unzip"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# Wine takes its ANSI code page from the Unix locale: ja_JP.UTF-8 gives 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen >/dev/null
fi
