#!/bin/bash
# A private popa3d POP3 server on loopback, for tests: a second real server
# beside Dovecot that behaves differently (it knows no CAPA, so a client must
# stay one command at a time; it serves mbox files; its UIDLs are digests of the
# headers Received, Date and Message-ID; its status lines are a bare "+OK" or
# "-ERR").
#
# Same commands and layout rules as tools/dovecot.sh; every file of one server
# lives under <dir>. Needs root and the binary of Debian's package popa3d.
#
#   popa3d.sh start <dir> [port]       start the server of <dir> on 127.0.0.1; without a
#                                      port a free one is picked. Prints the port and
#                                      writes it to <dir>/port. A server already
#                                      running for <dir> is stopped first.
#   popa3d.sh stop <dir>               stop it; quiet when none runs.
#   popa3d.sh port <dir>               print the port of the running server.
#   popa3d.sh adduser <dir> <user> <password>
#                                      add a user (or change a password); also while
#                                      the server runs.
#   popa3d.sh addmail <dir> <user> <file>...
#                                      append each file as one message to the user's
#                                      mbox, in argument order (message numbers follow
#                                      it). Files with LF line ends, as an mbox holds
#                                      them; a body line beginning with "From " is
#                                      quoted as ">From ".
#   popa3d.sh clear <dir> <user>       remove every message of the user.
#   popa3d.sh view <dir> <user>        the server's own answers (LIST, UIDL), one line
#                                      per message: "<number> <size> <uidl>".
#
# How it runs without touching the system: popa3d is run by tools/popa3d-listen.py
# (its inetd, on loopback) inside a mount namespace of its own (unshare), in which
# <dir>'s files stand in for /etc/passwd, /etc/shadow, /etc/group, the name
# service and PAM configuration, and /var is an empty tmpfs holding only
# /var/mail (bound to <dir>/mail) and popa3d's empty chroot /var/lib/popa3d. The
# users exist only in that namespace; their mailboxes belong to uid 64123, which
# has no name outside it. The system's own users, PAM and /var are never changed.
#
# popa3d is not installed as a package: Debian's popa3d conflicts with every
# other POP3 server (virtual package pop3-server), and installing it would remove
# dovecot-pop3d. The package is fetched with "apt-get download" and unpacked
# under build/popa3d (or $PIKUNO_POPA3D_DIR) the first time a server starts; it
# needs nothing beyond libc and PAM, which every Debian has.
#
# The listener's errors go to <dir>/run/popa3d.log; popa3d itself logs to syslog.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/pop3-server-common.sh"
PKG_DIR=${PIKUNO_POPA3D_DIR:-$here/../build/popa3d}
POPA3D=$PKG_DIR/usr/sbin/popa3d

# Numeric ids inside the namespace only.
MAIL_UID=64123
POPA3D_UID=64124

need_root() {
    [ "$(id -u)" -eq 0 ] || die "must run as root (popa3d starts as root and changes to each user)"
    command -v unshare >/dev/null 2>&1 || die "unshare not found (Debian package util-linux)"
    command -v python3 >/dev/null 2>&1 || die "python3 not found"
}

install_popa3d() {
    [ -x "$POPA3D" ] && return 0
    local tmp
    # Two servers may start at once (ctest -j2): one fetches, the other waits.
    mkdir -p "$(dirname "$PKG_DIR")"
    exec 9>"$PKG_DIR.lock"
    flock 9
    if [ -x "$POPA3D" ]; then
        exec 9>&-
        return 0
    fi
    tmp=$(mktemp -d)
    chmod 755 "$tmp"
    if ! (cd "$tmp" && apt-get download popa3d) >"$tmp/log" 2>&1; then
        # A fresh machine may not have the package lists yet.
        apt-get update -qq >>"$tmp/log" 2>&1 || true
        (cd "$tmp" && apt-get download popa3d) >>"$tmp/log" 2>&1 || {
            cat "$tmp/log" >&2
            rm -rf "$tmp"
            die "could not fetch Debian's package popa3d"
        }
    fi
    mkdir -p "$PKG_DIR"
    dpkg-deb -x "$tmp"/popa3d_*.deb "$PKG_DIR" || die "could not unpack popa3d"
    rm -rf "$tmp"
    [ -x "$POPA3D" ] || die "no $POPA3D in the package"
    exec 9>&-
}

# Writes a file in place: a file bound into the namespace is an inode, and a
# new file renamed over it would not be seen there.
write_in_place() {
    local target=$1
    cat >"$target.new"
    cat "$target.new" >"$target"
    rm -f "$target.new"
}

# The namespace's account files, from <dir>/users ("user:password" lines).
write_accounts() {
    local dir=$1 user password hash
    mkdir -p "$dir/etc/pam.d"
    touch "$dir/users" "$dir/etc/passwd" "$dir/etc/shadow" "$dir/etc/group"
    chmod 600 "$dir/users"
    {
        echo "root:x:0:0:root:/root:/bin/sh"
        echo "popa3d:x:$POPA3D_UID:$POPA3D_UID::/var/lib/popa3d:/usr/sbin/nologin"
        while IFS=: read -r user password; do
            echo "$user:x:$MAIL_UID:$MAIL_UID::/var/mail:/bin/sh"
        done <"$dir/users"
    } | write_in_place "$dir/etc/passwd"
    {
        echo "root:*:19000:0:99999:7:::"
        echo "popa3d:*:19000:0:99999:7:::"
        while IFS=: read -r user password; do
            hash=$(PASSWORD=$password perl -e '
                my @c = ("a".."z", "A".."Z", 0..9, ".", "/");
                my $salt = join("", map { $c[int(rand(@c))] } 1..16);
                print crypt($ENV{PASSWORD}, "\$6\$$salt\$");')
            echo "$user:$hash:19000:0:99999:7:::"
        done <"$dir/users"
    } | write_in_place "$dir/etc/shadow"
    chmod 600 "$dir/etc/shadow"
    printf 'root:x:0:\nmail:x:8:\npikuno:x:%s:\npopa3d:x:%s:\n' "$MAIL_UID" "$POPA3D_UID" |
        write_in_place "$dir/etc/group"
    printf 'passwd: files\ngroup: files\nshadow: files\n' >"$dir/etc/nsswitch.conf"
    printf 'auth required pam_unix.so\naccount required pam_unix.so\nsession required pam_permit.so\n' \
        >"$dir/etc/pam.d/popa3d"
    printf 'auth required pam_deny.so\naccount required pam_deny.so\nsession required pam_deny.so\n' \
        >"$dir/etc/pam.d/other"
}

prepare_mailbox() {
    local dir=$1 user=$2
    mkdir -p "$dir/mail"
    chmod 1777 "$dir/mail"
    touch "$dir/mail/$user"
    chown "$MAIL_UID:$MAIL_UID" "$dir/mail/$user"
    chmod 600 "$dir/mail/$user"
}

listener_pid() {
    running_pid "$1/run/listen.pid"
}

cmd_stop() {
    local dir pid
    dir=$(absolute "$1")
    pid=$(listener_pid "$dir") || return 0
    stop_process "$pid" "popa3d listener"
    rm -f "$dir/run/listen.pid"
}

cmd_start() {
    local dir port
    dir=$(absolute "$1")
    port=${2:-}
    [ $# -le 2 ] || die "popa3d speaks no TLS: start takes <dir> [port]"
    need_root
    case "$dir/" in
        /var/*) die "<dir> must not lie under /var: the namespace hides /var" ;;
    esac
    install_popa3d
    cmd_stop "$dir"
    [ -n "$port" ] || port=$(free_port)
    mkdir -p "$dir/run" "$dir/mail"
    chmod 1777 "$dir/mail"
    write_accounts "$dir"
    : >"$dir/run/popa3d.log"
    rm -f "$dir/run/listen.pid"
    # The mounts exist only in the new namespace and end with its last process.
    # A daemon keeps the caller's pipes open unless all three streams are redirected.
    unshare --mount --propagation private -- /bin/sh -c '
        set -e
        dir=$1
        for f in passwd shadow group nsswitch.conf; do
            mount --bind "$dir/etc/$f" "/etc/$f"
        done
        mount --bind "$dir/etc/pam.d" /etc/pam.d
        mount -t tmpfs -o mode=755 pikuno-popa3d /var
        mkdir -p /var/mail /var/lib/popa3d
        mount --bind "$dir/mail" /var/mail
        exec python3 "$2" --port "$3" --pid-file "$dir/run/listen.pid" "$4"
    ' popa3d-ns "$dir" "$here/popa3d-listen.py" "$port" "$POPA3D" \
        </dev/null >>"$dir/run/popa3d.log" 2>&1 &
    await_greeting "$dir" "$port" listener_pid && return 0
    cmd_stop "$dir" || true
    die "popa3d gave no greeting on port $port; see $dir/run/popa3d.log"
}

cmd_adduser() {
    local dir user password
    dir=$(absolute "$1")
    user=$2
    password=$3
    check_user_and_password "$user" "$password"
    [ -n "$password" ] || die "popa3d refuses empty passwords"
    set_user_line "$dir" "$user" "$user:$password"
    write_accounts "$dir"
    prepare_mailbox "$dir" "$user"
}

cmd_addmail() {
    local dir user seq_file seq
    dir=$(absolute "$1")
    user=$2
    shift 2
    require_files "$@"
    prepare_mailbox "$dir" "$user"
    seq_file="$dir/seq-$user"
    seq=$(cat "$seq_file" 2>/dev/null || echo 0)
    # One process for all files. Each message gets its "From " separator line and
    # a blank line after it, as an mbox delivery writes them, each with a time of
    # its own (one second apart). popa3d's UIDL is a digest of the Received, Date,
    # Message-ID and X-Delivery-ID headers only: messages without any of them
    # share one UIDL.
    seq=$(perl -e '
        my ($mbox, $seq, @files) = @ARGV;
        open(my $out, ">>:raw", $mbox) or die "$mbox: $!\n";
        for my $file (@files) {
            $seq++;
            open(my $in, "<:raw", $file) or die "$file: $!\n";
            local $/;
            my $bytes = <$in>;
            close($in);
            $bytes .= "\n" unless $bytes =~ /\n\z/;
            $bytes =~ s/^(>*From )/>$1/mg;
            print $out "From pikuno\@example.jp " . gmtime(1767225600 + $seq) . "\n", $bytes, "\n";
        }
        close($out) or die "$mbox: $!\n";
        print $seq;
    ' "$dir/mail/$user" "$seq" "$@") || die "could not deliver the mails"
    echo "$seq" >"$seq_file"
}

cmd_clear() {
    local dir user
    dir=$(absolute "$1")
    user=$2
    prepare_mailbox "$dir" "$user"
    : >"$dir/mail/$user"
}

cmd_view() {
    local dir user password
    dir=$(absolute "$1")
    user=$2
    listener_pid "$dir" >/dev/null || die "no server runs for $dir"
    password=$(sed -n "s/^$user://p" "$dir/users")
    [ -n "$password" ] || die "no user $user in $dir/users"
    pop3_view "$(cat "$dir/port")" "$user" "$password"
}

pop3_server_main "$@"
