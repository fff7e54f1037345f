#!/bin/bash
# The demonstration: what Pikuno does, on sample data, with no set-up by the user.
#
#   tools/demo.sh                 installs what is missing, builds, then runs the
#                                 scenario without a display of its own (Xvfb) and
#                                 prints the report; pictures and report.html go to
#                                 build/demo/.
#   tools/demo.sh --interactive   the same mailbox and server, but the stand-in host
#                                 opens on your display ($DISPLAY) for you to click
#                                 through; the server stops when you close the host.
#   --no-build                    skip set-up and build (the demo's own test uses it).
#   --out DIR                     write pictures, logs and reports to DIR instead of
#                                 build/demo (emptied first).
#
# The scenario: two accounts on a private Dovecot POP3 server on loopback, which
# requires TLS. Account 1 receives selectively by size (mails over 5000 bytes stay on
# the server) over STLS; account 2, on port 995, over TLS from the start, picks from
# the selection dialog (the script ticks messages 1, 3 and 4); the digest received
# there is split into its three messages. Needs root for Dovecot.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
interactive=0
build=1
out="$root/build/demo"
while [ $# -gt 0 ]; do
    case $1 in
        --interactive) interactive=1 ;;
        --no-build) build=0 ;;
        --out) [ $# -ge 2 ] || set -- --help; out=$(mkdir -p "$2" && cd "$2" && pwd); shift ;;
        *) sed -n '2,/^set -eu/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
    shift
done

if [ $build -eq 1 ]; then
    "$root/tools/setup.sh"
    "$root/tools/build.sh"
fi

bin="$root/build/x86_64/bin"
run="$root/build/x86_64/wine-run.sh"
stop_wine="$root/build/x86_64/stop-wine.sh"
for f in "$bin/Quenla.exe" "$bin/Pikuno.dll" "$bin/Pikunoset.dll" "$bin/trust_test_ca.exe" "$run"; do
    [ -e "$f" ] || { echo "demo: $f is missing: run tools/build.sh" >&2; exit 1; }
done
if [ $interactive -eq 1 ] && [ -z "${DISPLAY:-}" ]; then
    echo "demo: --interactive needs a display (DISPLAY is not set)" >&2
    exit 1
fi

# The server's folder must be short (Dovecot's sockets) and searchable by "mail".
server=$(mktemp -d /tmp/pkdemo.XXXXXX)
chmod 755 "$server"
cleanup() {
    "$root/tools/dovecot.sh" stop "$server" >/dev/null 2>&1 || true
    # The Wine prefix is shared with the tests: leave it as it was.
    "$run" reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f </dev/null >/dev/null 2>&1 || true
    "$stop_wine" >/dev/null 2>&1 || true
    rm -rf "$server"
}
trap cleanup EXIT
# Ctrl-C (or a timeout) ends the demo through the same clean-up.
trap 'exit 130' INT TERM

rm -rf "$out/shots" "$out/logs" "$out/mailbox" "$out/report.txt" "$out/report.html"
mkdir -p "$out/shots" "$out/logs"
echo "$server" >"$out/logs/server-dir.txt"
mailbox="$out/mailbox"
winpath() { echo "Z:$1" | tr / '\\'; }

echo "demo: starting a POP3 server (Dovecot) with sample mail for two accounts"
# Users before the start: Dovecot's password file is then read once, complete (a
# change within the second of an earlier read can go unnoticed).
"$root/tools/dovecot.sh" adduser "$server" taro taro-pass
"$root/tools/dovecot.sh" adduser "$server" hanako hanako-pass
# TLS: certificates made with openssl, their CA trusted in the build's own Wine
# prefix (as the tests do), never in the machine's store.
certs="$root/build/x86_64/tls-certs"
"$root/tools/tls-certs.sh" "$certs"
"$run" "$bin/trust_test_ca.exe" "$(winpath "$certs/ca.der")" </dev/null >"$out/logs/trust-ca.txt" 2>&1
# A free loopback port for STLS, so that the accounts can name it, and 995 for
# TLS from the start (another free port when 995 is taken on this machine).
tls_port=995
if (exec 3<>/dev/tcp/127.0.0.1/995) 2>/dev/null; then
    tls_port=""
fi
port=$("$root/tools/dovecot.sh" start "$server" --tls "$certs" $tls_port)
tls_port=$(cat "$server/tls-port")
python3 "$root/tools/demo/make_sample.py" "$mailbox" "$server/outgoing" "$port" "$tls_port" "$out/logs/manifest.json"
for user in taro hanako; do
    "$root/tools/dovecot.sh" addmail "$server" "$user" "$server/outgoing/$user"/*.eml
    "$root/tools/dovecot.sh" view "$server" "$user" >"$out/logs/server-before-$user.txt"
done

# The host is started afresh on the display wanted: the wineserver keeps the
# display it was started with.
"$stop_wine" >/dev/null 2>&1 || true
if [ $interactive -eq 1 ]; then
    echo "demo: POP3 server on localhost:$port (STLS) and :$tls_port (TLS); mailbox $mailbox"
    echo "demo: Quenla opens on your display. Try: choose 仕事用 then メール > 選択受信 (size filter);"
    echo "      choose 個人用 then メール > 選択受信 (tick messages in the list);"
    echo "      ツール > プラグインの設定 / プラグインのバージョン情報. Close Quenla to end the demo."
    (cd "$bin" && PIKUNO_REAL_DISPLAY=1 "$run" Quenla.exe --mailbox "$(winpath "$mailbox")") || true
    exit 0
fi

sed "s|@SHOTS@|$(winpath "$out/shots" | sed 's/\\/\\\\/g')|g" "$root/tools/demo/scenario.txt" >"$out/logs/scenario.txt"
echo "demo: running the stand-in host Quenla.exe with Pikuno (Wine, no display of its own)"
# Xvfb has no window manager to draw caption bars: Wine draws them itself, so that
# they appear in the pictures.
"$run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || true
status=0
(cd "$bin" && "$run" Quenla.exe --mailbox "$(winpath "$mailbox")" --script "$(winpath "$out/logs/scenario.txt")" \
    --utf8 --out "$(winpath "$out/logs/host.txt")" --unexpected-ms 8000 --receive-timeout-ms 20000 \
    </dev/null >"$out/logs/host-console.txt" 2>&1) || status=$?
for user in taro hanako; do
    "$root/tools/dovecot.sh" view "$server" "$user" >"$out/logs/server-after-$user.txt"
done
"$root/tools/dovecot.sh" stop "$server" >/dev/null
"$stop_wine" >/dev/null 2>&1 || true

for bmp in "$out/shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
python3 "$root/tools/demo/report.py" "$out" "$status"
