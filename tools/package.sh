#!/bin/sh
# Builds the release a user installs: the i686 DLLs, optimised, in a zip with the
# Japanese readme, the change log and the licence, and its SHA-256 beside it.
#
#   tools/package.sh              installs what is missing, builds build/release
#                                 (i686, Release, no tests) and writes
#                                 build/release/Pikuno-<version>.zip and
#                                 build/release/Pikuno-<version>.zip.sha256.
#   --dlls DIR                    package Pikuno.dll and Pikunoset.dll from DIR (an
#                                 i686 build's bin/) instead of building; no set-up.
#                                 The package test uses it on build/i686.
#   --out DIR                     write the zip and its checksum to DIR.
#
# The zip holds Pikuno.dll, Plugins/Pikunoset.dll (where the plug-in looks first),
# お読みください.txt and CHANGES.txt (Shift_JIS, CR LF, made from the UTF-8 sources in
# docs/release/) and LICENSE.txt. The version is read from
# common/PikunoVersion.h, the one place it is written.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
dlls=""
out="$root/build/release"
while [ $# -gt 0 ]; do
    case $1 in
        --dlls) [ $# -ge 2 ] || set -- --help; dlls=$(cd "$2" && pwd); shift ;;
        --out) [ $# -ge 2 ] || set -- --help; out=$(mkdir -p "$2" && cd "$2" && pwd); shift ;;
        *) sed -n '2,/^set -eu/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
    shift
done

fail() {
    echo "package: $*" >&2
    exit 1
}

# The version: four numbers, each defined once in the header.
header="$root/common/PikunoVersion.h"
number() {
    value=$(sed -n "s/^#define PIKUNO_VERSION_$1 \([0-9][0-9]*\)[[:space:]]*\$/\1/p" "$header")
    [ -n "$value" ] && [ "$(echo "$value" | wc -l)" -eq 1 ] || fail "$header: no single PIKUNO_VERSION_$1"
    echo "$value"
}
major=$(number MAJOR)
minor=$(number MINOR)
release=$(number RELEASE)
build=$(number BUILD)
version="$major.$minor.$release.$build"
short_version="$major.$minor"

if [ -z "$dlls" ]; then
    "$root/tools/setup.sh"
    dir="$root/build/release"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPIKUNO_BUILD_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
    echo "== build release (i686) $version"
    cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target Pikuno Pikunoset -- --no-print-directory -s
    dlls="$dir/bin"
fi

# Only the 32-bit product goes out: an x86_64 DLL would not load into the host.
for dll in Pikuno.dll Pikunoset.dll; do
    [ -f "$dlls/$dll" ] || fail "$dlls/$dll: not built"
    i686-w64-mingw32-objdump -f "$dlls/$dll" | grep -q 'file format pei-i386' ||
        fail "$dlls/$dll: not a 32-bit (i686) DLL"
done

# One time for every entry and for the release date: the last commit's (outside a
# checkout, the version header's), so that the same sources give the same zip.
epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null || stat -c %Y "$header")
day=$(date -u -d "@$epoch" +%Y-%m-%d)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT INT TERM

# The symbols and debugging sections of the static runtime are no use to a user.
# Strip writes the time into the PE header: the commit's, so that the same DLLs
# give the same zip.
mkdir "$stage/Plugins"
SOURCE_DATE_EPOCH=$epoch i686-w64-mingw32-strip --strip-all -o "$stage/Pikuno.dll" "$dlls/Pikuno.dll"
SOURCE_DATE_EPOCH=$epoch i686-w64-mingw32-strip --strip-all -o "$stage/Plugins/Pikunoset.dll" "$dlls/Pikunoset.dll"

# UTF-8 with LF in the repository; Shift_JIS (code page 932) with CR LF in the zip.
# Iconv stops at a character that has no Shift_JIS form.
text() {
    source=$1 target=$2 encoding=$3
    if grep -q "$(printf '\r')" "$source"; then
        fail "$source: holds CR; the sources keep LF line ends"
    fi
    sed -e "s/@VERSION@/$version/g" -e "s/@VERSION_SHORT@/$short_version/g" -e "s/@DATE@/$day/g" \
        "$source" > "$stage/tmp.txt"
    if grep -n '@[A-Z_]*@' "$stage/tmp.txt" >&2; then
        fail "$source: unknown placeholder"
    fi
    iconv -f UTF-8 -t "$encoding" "$stage/tmp.txt" > "$stage/tmp.enc" ||
        fail "$source: cannot be converted to $encoding"
    sed 's/$/\r/' "$stage/tmp.enc" > "$target"
    rm "$stage/tmp.txt" "$stage/tmp.enc"
}
text "$root/docs/release/readme-ja.txt" "$stage/お読みください.txt" CP932
text "$root/docs/release/changes-ja.txt" "$stage/CHANGES.txt" CP932
text "$root/LICENSE" "$stage/LICENSE.txt" ASCII

zip="$out/Pikuno-$version.zip"
rm -f "$zip" "$zip.sha256"
python3 "$root/tools/package_zip.py" "$zip" "$stage" "$epoch" \
    Pikuno.dll Plugins/ Plugins/Pikunoset.dll お読みください.txt CHANGES.txt LICENSE.txt
(cd "$out" && sha256sum "Pikuno-$version.zip" > "Pikuno-$version.zip.sha256")
echo "package: $zip"
echo "package: $zip.sha256"
