#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent and quiet when everything is already there.
set -eu

PACKAGES="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 \
binutils-mingw-w64-x86-64 wine64 xvfb xauth x11-utils locales googletest dovecot-pop3d \
fonts-ipafont-gothic fonts-wine imagemagick procmail python3 bc clang libclang-rt-14-dev unzip openssl"

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

# The i686 tests run in wine64's 32-on-64-bit mode, which needs Wine's 32-bit PE
# DLLs from libwine:i386 of the very version of wine64. The package is only
# downloaded and unpacked into the project's own folder, never installed: an i386
# libwine would pull in the whole 32-bit userland, which this machine cannot run.
wine_i386="$(cd "$(dirname "$0")/.." && pwd)/build/wine-i386"
wine_version=$(dpkg-query -W -f='${Version}' wine64)
if [ "$(cat "$wine_i386/version" 2>/dev/null)" != "$wine_version" ] \
    || [ ! -d "$wine_i386/i386-windows" ] || [ ! -e "$wine_i386/x86_64-unix" ]; then
    echo "setup: unpacking Wine's 32-bit DLLs ($wine_version) into build/wine-i386"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        # Only so that apt knows the i386 package and can download it.
        $SUDO dpkg --add-architecture i386
        # A mirror index that fails to download (another architecture's, a mirror
        # in sync) must not stop the set-up; the download below says if it matters.
        $SUDO apt-get update -qq >/dev/null 2>&1 || true
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    (cd "$work" && apt-get download -qq "libwine:i386=$wine_version" >/dev/null 2>&1) || {
        $SUDO apt-get update -qq >/dev/null 2>&1 || true
        (cd "$work" && apt-get download -qq "libwine:i386=$wine_version" >/dev/null)
    }
    dpkg-deb -x "$work"/libwine_*_i386.deb "$work/x"
    rm -rf "$wine_i386"
    mkdir -p "$wine_i386"
    mv "$work/x/usr/lib/i386-linux-gnu/wine/i386-windows" "$wine_i386/"
    # Without the Unix side of the 64-bit DLLs beside them, Wine looks for the
    # 32-bit DLLs' Unix side next to them and ws2_32 fails to initialise.
    ln -s /usr/lib/x86_64-linux-gnu/wine/x86_64-unix "$wine_i386/x86_64-unix"
    echo "$wine_version" >"$wine_i386/version"
    rm -rf "$work"
    trap - EXIT
fi
