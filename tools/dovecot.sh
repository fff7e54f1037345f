#!/bin/bash
# A private Dovecot POP3 server on loopback, for tests and the demo.
#
# Every file of one server lives under one directory <dir>: its configuration,
# its users, their Maildirs and its run state. Several servers (one per <dir>) can
# run side by side. Needs root (Dovecot's master runs as root; mail is owned by
# the system user "mail") and the Debian package dovecot-pop3d.
#
#   dovecot.sh start <dir> [port]      start the server of <dir> on 127.0.0.1; without a
#                                      port a free one is picked. Prints the port and
#                                      writes it to <dir>/port. A server already
#                                      running for <dir> is stopped first.
#   dovecot.sh start <dir> [port] --tls <certdir> [tls-port]
#                                      the same with ssl = required: <port> speaks plain
#                                      text until STLS, and a second port (tls-port, or a
#                                      free one; written to <dir>/tls-port) speaks TLS
#                                      from the start, on
#                                      127.0.0.1 with the certificate of `cert` (first
#                                      good.pem) and on 127.0.0.2..7 with one of
#                                      tools/tls-certs.sh's each (<dir>/tls-addresses:
#                                      "<name> <address>" lines).
#   dovecot.sh cert <dir> <name>       serve <certdir>/<name>.pem on 127.0.0.1 from now
#                                      on (both ports); returns once the server does.
#   dovecot.sh stop <dir>              stop it; quiet when none runs.
#   dovecot.sh port <dir>              print the port of the running server.
#   dovecot.sh adduser <dir> <user> <password>
#                                      add a user (or change a password); also while
#                                      the server runs. Passwords are stored in PLAIN.
#   dovecot.sh addmail <dir> <user> <file>...
#                                      deliver each file as one new message into the
#                                      user's Maildir, in argument order (message
#                                      numbers follow that order). The bytes are
#                                      stored unchanged; write them with LF line ends
#                                      as a Maildir holds them (POP3 sends CR LF).
#   dovecot.sh clear <dir> <user>      remove every message of the user (UIDLs of
#                                      removed messages are never given out again).
#   dovecot.sh view <dir> <user>       the server's own answers for the user's mailbox,
#                                      from a POP3 exchange of this script (LIST, UIDL):
#                                      one line per message, "<number> <size> <uidl>".
#
# Every folder above <dir> must be searchable by the user "mail" (<dir> itself
# is made so).
#
# Example:
#   tools/dovecot.sh adduser /tmp/pop alice secret
#   tools/dovecot.sh addmail /tmp/pop alice mail1.eml mail2.eml
#   port=$(tools/dovecot.sh start /tmp/pop)
#   ...                                  # POP3 on 127.0.0.1:$port
#   tools/dovecot.sh stop /tmp/pop
#
# The log is <dir>/run/dovecot.log. Keep <dir> short: Dovecot's sockets live
# under <dir>/run and a Unix socket path holds at most 107 bytes.
set -eu
. "$(dirname "$0")/pop3-server-common.sh"

need_root() {
    [ "$(id -u)" -eq 0 ] || die "must run as root (Dovecot's master process runs as root)"
    command -v dovecot >/dev/null 2>&1 || die "dovecot not installed (Debian package dovecot-pop3d)"
}

# Uid/gid for the mail files: the system user "mail".
MAIL_USER=mail
MAIL_GROUP=mail

# The certificates on the implicit-TLS port, one loopback address each.
TLS_ADDRESSES="good:127.0.0.2 othername:127.0.0.3 expired:127.0.0.4 selfsigned:127.0.0.5 untrusted:127.0.0.6 selfsigned2:127.0.0.7"

write_config() {
    local dir=$1 port=$2 ssl=no
    [ ! -f "$dir/tls-port" ] || ssl=required
    cat >"$dir/dovecot.conf" <<EOF
# Written by tools/dovecot.sh: a private POP3 server for tests.
protocols = pop3
listen = 127.0.0.1
base_dir = $dir/run
state_dir = $dir/run/state
log_path = $dir/run/dovecot.log
info_log_path = $dir/run/dovecot.log
ssl = $ssl
disable_plaintext_auth = no
auth_mechanisms = plain
# A refused login is answered at once (Dovecot waits 2 s by default), and the
# logins after it are not held back as from an attacker (no anvil penalty: the
# auth process then logs once that it cannot reach the penalty socket).
auth_failure_delay = 0
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/users
}
userdb {
  driver = static
  args = uid=$MAIL_USER gid=$MAIL_GROUP home=$dir/mail/%u
}
mail_location = maildir:~/Maildir
pop3_uidl_format = %08Xu%08Xv
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
}
default_login_user = dovenull
default_internal_user = dovecot
first_valid_uid = 0
EOF
    [ "$ssl" = required ] || return 0
    local certdir name address addresses="127.0.0.1" entry
    certdir=$(cat "$dir/tls-certdir")
    for entry in $TLS_ADDRESSES; do
        addresses="$addresses, ${entry#*:}"
    done
    cat >>"$dir/dovecot.conf" <<EOF
# TLS: plain text on $port until STLS, TLS from the start on the second port.
# (Dovecot counts a loopback client as secured: it takes USER before STLS too.)
ssl_cert = <$dir/tls-current.pem
ssl_key = <$dir/tls-current.key
service pop3-login {
  inet_listener pop3s {
    address = $addresses
    port = $(cat "$dir/tls-port")
    ssl = yes
  }
}
EOF
    : >"$dir/tls-addresses"
    for entry in $TLS_ADDRESSES; do
        name=${entry%%:*}
        address=${entry#*:}
        echo "$name $address" >>"$dir/tls-addresses"
        cat >>"$dir/dovecot.conf" <<EOF
local $address {
  ssl_cert = <$certdir/$name.pem
  ssl_key = <$certdir/$name.key
}
EOF
    done
}

# The SHA-256 fingerprint of the certificate a TLS port serves on 127.0.0.1.
served_fingerprint() {
    openssl s_client -connect "127.0.0.1:$1" -servername localhost </dev/null 2>/dev/null \
        | openssl x509 -outform DER 2>/dev/null | sha256sum | cut -c1-64
}

cmd_cert() {
    local dir name certdir wanted pid
    dir=$(absolute "$1")
    name=$2
    [ -f "$dir/tls-port" ] || die "the server of $dir was not started with --tls"
    certdir=$(cat "$dir/tls-certdir")
    [ -f "$certdir/$name.pem" ] || die "no certificate $certdir/$name.pem"
    cp "$certdir/$name.pem" "$dir/tls-current.pem"
    cp "$certdir/$name.key" "$dir/tls-current.key"
    pid=$(master_pid "$dir") || die "no server runs for $dir"
    kill -HUP "$pid"
    wanted=$(cat "$certdir/$name.sha256")
    for _ in $(seq 1 100); do
        [ "$(served_fingerprint "$(cat "$dir/tls-port")")" != "$wanted" ] || return 0
        sleep 0.1
    done
    die "the server still serves another certificate than $name"
}

master_pid() {
    running_pid "$1/run/master.pid"
}

cmd_stop() {
    local dir pid
    dir=$(absolute "$1")
    pid=$(master_pid "$dir") || return 0
    stop_process "$pid" Dovecot
}

prepare_user_dirs() {
    local dir=$1 user=$2
    mkdir -p "$dir/mail/$user/Maildir/new" "$dir/mail/$user/Maildir/cur" "$dir/mail/$user/Maildir/tmp"
    chown -R "$MAIL_USER:$MAIL_GROUP" "$dir/mail"
}

cmd_start() {
    local dir port="" certdir=""
    dir=$(absolute "$1")
    shift
    if [ $# -gt 0 ] && [ "$1" != --tls ]; then
        port=$1
        shift
    fi
    local tls_port=""
    if [ $# -gt 0 ]; then
        [ "$1" = --tls ] && [ $# -ge 2 ] && [ $# -le 3 ] || usage
        certdir=$(absolute "$2")
        tls_port=${3:-}
    fi
    need_root
    cmd_stop "$dir"
    [ -n "$port" ] || port=$(free_port)
    rm -f "$dir/tls-port" "$dir/tls-certdir" "$dir/tls-addresses"
    if [ -n "$certdir" ]; then
        [ -f "$certdir/good.pem" ] || die "no certificates in $certdir (tools/tls-certs.sh makes them)"
        echo "$certdir" >"$dir/tls-certdir"
        if [ -n "$tls_port" ]; then
            echo "$tls_port" >"$dir/tls-port"
        else
            free_port >"$dir/tls-port"
        fi
        cp "$certdir/good.pem" "$dir/tls-current.pem"
        cp "$certdir/good.key" "$dir/tls-current.key"
    fi
    mkdir -p "$dir/run/state" "$dir/mail"
    touch "$dir/users"
    chmod 644 "$dir/users"
    chown -R "$MAIL_USER:$MAIL_GROUP" "$dir/mail"
    # The mail processes run as "mail": they must reach <dir>/mail.
    chmod o+x "$dir"
    write_config "$dir" "$port"
    : >"$dir/run/dovecot.log"
    # A daemon keeps the caller's pipes open unless all three streams are redirected.
    dovecot -c "$dir/dovecot.conf" </dev/null >>"$dir/run/dovecot.log" 2>&1 \
        || die "Dovecot did not start; see $dir/run/dovecot.log"
    await_greeting "$dir" "$port" true && return 0
    cmd_stop "$dir"
    die "Dovecot gave no greeting on port $port; see $dir/run/dovecot.log"
}

cmd_adduser() {
    local dir user password
    dir=$(absolute "$1")
    user=$2
    password=$3
    check_user_and_password "$user" "$password"
    set_user_line "$dir" "$user" "$user:{PLAIN}$password" 644
    prepare_user_dirs "$dir" "$user"
}

cmd_addmail() {
    local dir user seq_file seq
    dir=$(absolute "$1")
    user=$2
    shift 2
    require_files "$@"
    prepare_user_dirs "$dir" "$user"
    seq_file="$dir/mail/$user/.pikuno-seq"
    seq=$(cat "$seq_file" 2>/dev/null || echo 0)
    # One process for all files (a process start per file costs more than the
    # copy). Written to tmp/, then renamed into new/, as Maildir delivery goes;
    # Dovecot numbers new messages in the order of their file names.
    seq=$(perl -e '
        my ($maildir, $seq, $pid, @files) = @ARGV;
        for my $file (@files) {
            $seq++;
            my $name = sprintf("%010d.M%06dP%d.pikuno", 1700000000, $seq, $pid);
            open(my $in, "<:raw", $file) or die "$file: $!\n";
            local $/;
            my $bytes = <$in>;
            close($in);
            open(my $out, ">:raw", "$maildir/tmp/$name") or die "$name: $!\n";
            print $out $bytes;
            close($out) or die "$name: $!\n";
            rename("$maildir/tmp/$name", "$maildir/new/$name") or die "$name: $!\n";
        }
        print $seq;
    ' "$dir/mail/$user/Maildir" "$seq" $$ "$@") || die "could not deliver the mails"
    echo "$seq" >"$seq_file"
    chown -R "$MAIL_USER:$MAIL_GROUP" "$dir/mail/$user"
}

cmd_clear() {
    local dir user
    dir=$(absolute "$1")
    user=$2
    # Only the message files go: Dovecot's uid list stays, so that a message
    # added later never gets the UIDL of a removed one.
    prepare_user_dirs "$dir" "$user"
    find "$dir/mail/$user/Maildir/new" "$dir/mail/$user/Maildir/cur" -type f -delete
}

cmd_view() {
    local dir user password
    dir=$(absolute "$1")
    user=$2
    master_pid "$dir" >/dev/null || die "no server runs for $dir"
    password=$(sed -n "s/^$user:{PLAIN}//p" "$dir/users")
    [ -n "$password" ] || die "no user $user in $dir/users"
    pop3_view "$(cat "$dir/port")" "$user" "$password"
}

if [ "${1:-}" = cert ]; then
    [ $# -eq 3 ] || usage
    cmd_cert "$2" "$3"
    exit 0
fi
pop3_server_main "$@"
