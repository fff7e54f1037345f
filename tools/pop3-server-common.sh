# What tools/dovecot.sh and tools/popa3d.sh share: messages, the command line,
# folders, ports, the wait for a server's greeting, stopping a process, and the
# view of a mailbox through a POP3 exchange of this script's own (so that the
# view does not depend on the client under test). Sourced, not run; a server
# script defines cmd_start, cmd_stop, cmd_adduser, cmd_addmail, cmd_clear and
# cmd_view, then calls pop3_server_main "$@".

die() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

# The server script's own header, from its second line to "set -eu".
usage() {
    sed -n '2,/^set -eu/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//' >&2
    exit 2
}

absolute() {
    mkdir -p "$1"
    (cd "$1" && pwd)
}

# A user name and a password as both servers' user files can hold them.
check_user_and_password() {
    case "$1$2" in
        *:* | *"
"*) die "user names and passwords must not hold ':' or line breaks" ;;
    esac
}

# Sets user's line of <dir>/users to line, replacing an earlier one (the file is
# made when missing); mode, when given, is the file's permission bits.
set_user_line() {
    local dir user line mode tmp
    dir=$1
    user=$2
    line=$3
    mode=${4:-}
    touch "$dir/users"
    tmp="$dir/users.tmp"
    grep -v "^$user:" "$dir/users" >"$tmp" || true
    printf '%s\n' "$line" >>"$tmp"
    [ -z "$mode" ] || chmod "$mode" "$tmp"
    mv "$tmp" "$dir/users"
}

# Dies unless every argument names a file.
require_files() {
    local file
    for file in "$@"; do
        [ -f "$file" ] || die "no such file: $file"
    done
}

free_port() {
    if command -v python3 >/dev/null 2>&1; then
        python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
        return
    fi
    local port
    for _ in $(seq 1 200); do
        port=$((20000 + RANDOM % 40000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    die "no free port found"
}

# True when a POP3 greeting comes from the port.
greets() {
    local port=$1 line=""
    exec 3<>"/dev/tcp/127.0.0.1/$port" || return 1
    IFS= read -r -t 2 line <&3 || true
    printf 'QUIT\r\n' >&3 || true
    exec 3<&- 3>&-
    case "$line" in
        +OK*) return 0 ;;
        *) return 1 ;;
    esac
}

# Waits up to 10 s until `ready` (a command) succeeds and the port greets; then
# records the port in <dir>/port and prints it.
await_greeting() {
    local dir=$1 port=$2 ready=$3
    for _ in $(seq 1 100); do
        if $ready "$dir" >/dev/null && greets "$port" 2>/dev/null; then
            echo "$port" >"$dir/port"
            echo "$port"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Ends a process and waits up to 10 s for it to go.
stop_process() {
    local pid=$1 what=$2
    kill "$pid"
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    die "$what (pid $pid) did not stop"
}

# The process id in a pid file, when that process still runs.
running_pid() {
    local file=$1 pid
    [ -f "$file" ] || return 1
    pid=$(cat "$file")
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
    echo "$pid"
}

# Reads one line from fd 3 into $line, without its CR.
pop_line() {
    line=""
    IFS= read -r -t 10 line <&3 || die "no reply from the server"
    line=${line%$'\r'}
}

# One line per message of the user's mailbox: "<number> <size> <uidl>".
pop3_view() {
    local port=$1 user=$2 password=$3 line number value
    declare -A sizes=() uidls=()
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    pop_line
    printf 'USER %s\r\n' "$user" >&3
    pop_line
    [[ $line == +OK* ]] || die "USER refused: $line"
    printf 'PASS %s\r\n' "$password" >&3
    pop_line
    [[ $line == +OK* ]] || die "PASS refused: $line"
    printf 'LIST\r\n' >&3
    pop_line
    [[ $line == +OK* ]] || die "LIST refused: $line"
    while pop_line && [ "$line" != "." ]; do
        read -r number value <<<"$line"
        sizes[$number]=$value
    done
    printf 'UIDL\r\n' >&3
    pop_line
    [[ $line == +OK* ]] || die "UIDL refused: $line"
    while pop_line && [ "$line" != "." ]; do
        read -r number value <<<"$line"
        uidls[$number]=$value
    done
    printf 'QUIT\r\n' >&3
    pop_line
    exec 3<&- 3>&-
    for number in $(printf '%s\n' "${!sizes[@]}" | sort -n); do
        echo "$number ${sizes[$number]} ${uidls[$number]:-}"
    done
}

pop3_server_main() {
    [ $# -ge 2 ] || usage
    local command=$1
    shift
    case "$command" in
        start) [ $# -le 5 ] || usage; cmd_start "$@" ;;
        stop) [ $# -eq 1 ] || usage; cmd_stop "$@" ;;
        port) [ $# -eq 1 ] || usage; cat "$(absolute "$1")/port" ;;
        adduser) [ $# -eq 3 ] || usage; cmd_adduser "$@" ;;
        addmail) [ $# -ge 3 ] || usage; cmd_addmail "$@" ;;
        clear) [ $# -eq 2 ] || usage; cmd_clear "$@" ;;
        view) [ $# -eq 2 ] || usage; cmd_view "$@" ;;
        *) usage ;;
    esac
}
