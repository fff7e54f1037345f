#!/bin/bash
# Selective receive against a real Dovecot holding 2,000 messages: prints figures,
# asserts nothing (tools/bench.sh runs it after the build).
#
#   1. on loopback: the window thread's processor time per message (5 rounds);
#   2. through tools/pop3relay.py at 30 ms round trip (15 ms each way), once with
#      PIPELINING offered and once with it removed from CAPA: the time until the
#      dialog is shown and the time from OK until it has closed, and what the
#      relay saw (commands, how many arrived while replies were owed);
#   3. the same two ways, the repeat scans of a mailbox received before: all
#      but the last 20 messages in the host's uidl file (received), then the same
#      with 500 of them in our record too (set aside earlier).
#   4. over TLS from the start (the server's second port, the test CA of
#      tools/tls-certs.sh trusted in the build's own Wine prefix): the processor
#      time per message on loopback, and the time to the dialog through the relay
#      at 30 ms with PIPELINING offered, beside the plain-text run of 2 (both
#      relay runs three rounds: the first of a process also loads and starts the
#      system's TLS, which a host does once).
#
# The server requires TLS (tools/dovecot.sh --tls); runs 1 and 2 log in in plain
# text on its other port (Security 3), which Dovecot allows on loopback.
#
# Nothing is ticked in the dialog, so every message is set aside. Needs root and
# what tools/setup.sh installs; the program is build/x86_64/bin/timing_receive.exe.
# BENCH_MESSAGES and BENCH_DELAY_MS change the mailbox size and the delay each way.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x86_64
program=$build/bin/timing_receive.exe
messages=${BENCH_MESSAGES:-2000}
delay=${BENCH_DELAY_MS:-15}
dir=$build/bench-pop
relays=()

[ -x "$program" ] || { echo "bench-receive: build first ($program is missing)"; exit 1; }

cleanup() {
    local pid
    for pid in "${relays[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    "$root/tools/dovecot.sh" stop "$dir" || true
}
trap cleanup EXIT INT TERM

"$root/tools/dovecot.sh" adduser "$dir" alice secret
certs=$build/tls-certs
"$root/tools/tls-certs.sh" "$certs"
"$build/wine-run.sh" "$build/bin/trust_test_ca.exe" "Z:$certs/ca.der" >/dev/null
port=$("$root/tools/dovecot.sh" start "$dir" --tls "$certs")
tls_port=$(cat "$dir/tls-port")
if [ "$("$root/tools/dovecot.sh" view "$dir" alice | wc -l)" -ne "$messages" ]; then
    echo "filling the mailbox with $messages messages"
    "$root/tools/dovecot.sh" clear "$dir" alice
    spool=$(mktemp -d)
    # Headers as a mailing list's messages carry them; Japanese (ISO-2022-JP)
    # and ASCII subjects alternately.
    python3 - "$spool" "$messages" <<'EOF'
import os, sys
spool, count = sys.argv[1], int(sys.argv[2])
for n in range(1, count + 1):
    subject = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= {}".format(n) if n % 2 else "Weekly report number {}".format(n)
    header = ("Return-Path: <list@example.jp>\n"
              "Received: from mx.example.jp by pop.example.jp with ESMTP id {0:08d}; Tue, 8 Dec 2026 07:00:00 +0900\n"
              "From: list@example.jp\nTo: alice@example.jp\nDate: Tue, 8 Dec 2026 07:00:00 +0900\n"
              "Message-ID: <{0}@example.jp>\nSubject: {1}\nMIME-Version: 1.0\n"
              "Content-Type: text/plain; charset=ISO-2022-JP\n\n").format(n, subject)
    body = "body line of message {}\n".format(n) * (5 + n % 40)
    with open(os.path.join(spool, "{:05d}.eml".format(n)), "w") as f:
        f.write(header + body)
EOF
    "$root/tools/dovecot.sh" addmail "$dir" alice "$spool"/*.eml
    rm -rf "$spool"
fi

run() {
    "$build/wine-run.sh" "$program" --user alice --password secret "$@"
}

# Starts a relay in front of Dovecot (its plain port, or the port given with
# --to); sets relay_port.
start_relay() {
    local name=$1 target=$port
    shift
    if [ "${1:-}" = --to ]; then
        target=$2
        shift 2
    fi
    rm -f "$dir/$name.port" "$dir/$name.log"
    # A daemon keeps the caller's pipes open unless all three streams are redirected.
    python3 "$root/tools/pop3relay.py" --target-port "$target" --delay-ms "$delay" --log "$dir/$name.log" \
        --port-file "$dir/$name.port" "$@" </dev/null >/dev/null 2>&1 &
    relays+=($!)
    for _ in $(seq 1 100); do
        [ -s "$dir/$name.port" ] && break
        sleep 0.05
    done
    relay_port=$(cat "$dir/$name.port")
}

# What the relay saw of the plug-in's session (the connection that sent TOP).
relay_summary() {
    local log=$1 connection
    connection=$(awk '$3 == "C>" && tolower($4) == "top" { print $2; exit }' "$log")
    [ -n "$connection" ] || { echo "  relay: no scan seen"; return; }
    # The relay notes a connection's end one delay after the client closed it.
    for _ in $(seq 1 50); do
        awk -v c="$connection" '$2 == c && $3 == "end" { found = 1 } END { exit !found }' "$log" && break
        sleep 0.1
    done
    awk -v c="$connection" '$2 == c && $3 == "end" { $1 = ""; $2 = ""; $3 = ""; print "  relay:" $0 }' "$log"
    # The wire alone, apart from the windows: from the connection until the relay
    # had the server's reply to the last TOP (the client has it one delay later).
    awk -v c="$connection" '
        $2 == c && $3 == "connected" { start = $1 }
        $2 == c && $3 == "S<" && $NF == "(top)" { last = $1 }
        END { if (last) printf "  relay: connection to the last TOP reply %.2f s\n", last - start }' "$log"
}

# The account's files for the repeat scans, from the server's own UIDLs.
"$root/tools/dovecot.sh" view "$dir" alice >"$dir/view.txt"
python3 - "$dir" "$messages" <<'EOF'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
uidls = [line.split()[2] for line in open(os.path.join(folder, "view.txt"))]
received = uidls[:max(0, count - 20)]
with open(os.path.join(folder, "received.uidl"), "wb") as f:
    f.write("".join(u + "\n" for u in received).encode("ascii"))
with open(os.path.join(folder, "setaside.record"), "wb") as f:
    f.write(b"Pikuno set-aside record 1\r\n")
    for n, u in enumerate(received[-500:], len(received) - len(received[-500:]) + 1):
        f.write("{}\tdialog\t1000\tWeekly report number {}\tlist@example.jp\tTue, 8 Dec 2026 07:00:00 +0900\r\n"
                .format(u, n).encode("ascii"))
EOF
winpath() {
    echo "Z:$(echo "$1" | tr / '\\')"
}
received=(--uidl-file "$(winpath "$dir/received.uidl")")
setaside=("${received[@]}" --record-file "$(winpath "$dir/setaside.record")")

echo "$messages messages in Dovecot"
run --port "$port" --label "loopback" --rounds 5
start_relay pipelined
run --port "$relay_port" --label "relay $((2 * delay)) ms round trip, PIPELINING offered" --rounds 3
relay_summary "$dir/pipelined.log"
start_relay serial --no-pipelining
run --port "$relay_port" --label "relay $((2 * delay)) ms round trip, PIPELINING removed"
relay_summary "$dir/serial.log"
for kind in received setaside; do
    if [ $kind = received ]; then
        files=("${received[@]}")
        what="repeat scan, all but 20 received"
    else
        files=("${setaside[@]}")
        what="repeat scan, all but 20 received, 500 of them set aside"
    fi
    start_relay "$kind-pipelined"
    run --port "$relay_port" --label "$what, relay $((2 * delay)) ms, PIPELINING offered" "${files[@]}"
    relay_summary "$dir/$kind-pipelined.log"
    start_relay "$kind-serial" --no-pipelining
    run --port "$relay_port" --label "$what, relay $((2 * delay)) ms, PIPELINING removed" "${files[@]}"
    relay_summary "$dir/$kind-serial.log"
done

echo "over TLS from the start (port $tls_port, certificate for localhost)"
run --port "$tls_port" --server localhost --security 1 --label "TLS, loopback" --rounds 5
start_relay tls --to "$tls_port"
run --port "$relay_port" --server localhost --security 1 --rounds 3 \
    --label "TLS, relay $((2 * delay)) ms round trip, PIPELINING offered"
awk '$3 == "end" && / tls=1/ { $1 = ""; $2 = ""; $3 = ""; print "  relay:" $0 }' "$dir/tls.log"
