#!/usr/bin/env bash
# Starts or stops a Firebird 3 server on loopback for the server-route tests.
#
#   scripts/test-fbserver.sh start   start it, write <state>/env, exit 0 (non-zero if it cannot start)
#   scripts/test-fbserver.sh stop    stop it
#
# The server runs from a root of its own (<state>/root: the system root's files
# linked in, its own firebird.conf), with its own lock directory (so it never
# meets the embedded engines of the tests, which use bin/firebird-lock of their build),
# its own copy of security3.fdb with a fresh SYSDBA password, on 127.0.0.1 and a
# free port from 3051 on. It runs as Classic (`firebird -m`, a process for each
# connection): Debian's Firebird 3 Super server has been seen to crash inside
# ICU's collator cache while a database was created after others had come and
# gone in the same process; a process of its own for each connection keeps one
# test's databases from touching the next one's. <state> is build/fbserver (VORLANDA_FBSERVER_DIR overrides).
# <state>/env exports for the tests:
#   VORLANDA_TEST_FBSERVER    "localhost/<port>:" - append an absolute path
#   VORLANDA_TEST_FBUSER, VORLANDA_TEST_FBPASSWORD
#   VORLANDA_TEST_FBDIR       a directory where the server may create databases
set -uo pipefail

HERE="$(cd "$(dirname "$(readlink -f "$0")")" && pwd)"
REPO="$(dirname "$HERE")"
STATE="${VORLANDA_FBSERVER_DIR:-$REPO/build/fbserver}"
PIDFILE="$STATE/server.pid"
FIRST_PORT="${VORLANDA_FBSERVER_PORT:-3051}"

log() { echo "test-fbserver: $*" >&2; }

find_system_root() {
    local c
    for c in /usr/lib/x86_64-linux-gnu/firebird/3.0 /usr/lib/*/firebird/3.0 /usr/lib/firebird/3.0 /opt/firebird; do
        if [ -f "$c/firebird.msg" ]; then echo "$c"; return 0; fi
    done
    return 1
}

find_server_binary() {
    local c
    for c in /usr/sbin/firebird /opt/firebird/bin/firebird; do
        if [ -x "$c" ]; then echo "$c"; return 0; fi
    done
    return 1
}

find_security_db() {
    local c
    for c in /var/lib/firebird/3.0/system/security3.fdb /opt/firebird/security3.fdb; do
        if [ -r "$c" ]; then echo "$c"; return 0; fi
    done
    return 1
}

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Any socket on the port, in any state: a Classic listener does not bind a port
# that still has connections of an earlier server waiting out their close.
port_taken() {
    local hex
    hex="$(printf '%04X' "$1")"
    port_in_use "$1" && return 0
    awk -v p=":$hex" 'NR > 1 && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }' \
        /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

running_pid() {
    [ -f "$PIDFILE" ] || return 1
    local pid
    pid="$(cat "$PIDFILE" 2>/dev/null)"
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && { echo "$pid"; return 0; }
    return 1
}

stop_server() {
    local pid i
    # The listener and the processes of its connections: one process group (setsid).
    if pid="$(running_pid)"; then
        kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null
        for i in $(seq 1 50); do
            kill -0 -- "-$pid" 2>/dev/null || break
            sleep 0.2
        done
        if kill -0 -- "-$pid" 2>/dev/null; then
            log "the server (pid $pid) did not stop, killing it"
            kill -KILL -- "-$pid" 2>/dev/null
        fi
    fi
    rm -f "$PIDFILE" "$STATE/env"
}

start_server() {
    local sysroot server secdb isql port password pid i
    sysroot="$(find_system_root)" || { log "no Firebird 3 installation found"; return 1; }
    server="$(find_server_binary)" || { log "no Firebird server program (package firebird3.0-server)"; return 1; }
    secdb="$(find_security_db)" || { log "no readable security3.fdb"; return 1; }
    isql="$(command -v isql-fb || command -v isql || true)"
    [ -n "$isql" ] || { log "no isql-fb (package firebird3.0-utils)"; return 1; }

    stop_server
    rm -rf "$STATE"
    mkdir -p "$STATE/root" "$STATE/lock" "$STATE/data" || return 1
    chmod 1777 "$STATE/data"

    port="$FIRST_PORT"
    while port_taken "$port"; do
        port=$((port + 1))
        if [ "$port" -gt $((FIRST_PORT + 40)) ]; then log "no free port from $FIRST_PORT on"; return 1; fi
    done

    # The server's root: the system's files, our configuration.
    local e
    for e in "$sysroot"/*; do
        case "$(basename "$e")" in
            firebird.conf|databases.conf) ;;
            *) ln -s "$e" "$STATE/root/$(basename "$e")" ;;
        esac
    done
    cp "$secdb" "$STATE/security3.fdb" || return 1
    chmod 600 "$STATE/security3.fdb"
    cat > "$STATE/root/firebird.conf" <<CONF
# Firebird server for the tests (written by scripts/test-fbserver.sh)
ServerMode = Classic
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $STATE/security3.fdb
UdfAccess = None
CONF
    cat > "$STATE/root/databases.conf" <<CONF
security.db = $STATE/security3.fdb
CONF

    password="t$(head -c 64 /dev/urandom | tr -dc 'A-Za-z0-9' | head -c 14)"
    # The SYSDBA password, set through the embedded engine before the server starts.
    if ! printf "CREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" "$password" \
        | FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" "$isql" -q -user SYSDBA "$STATE/security3.fdb" \
            >"$STATE/isql.log" 2>&1; then
        log "could not set the SYSDBA password: $(cat "$STATE/isql.log")"
        return 1
    fi
    if grep -qiE "error|failed" "$STATE/isql.log"; then
        log "could not set the SYSDBA password: $(cat "$STATE/isql.log")"
        return 1
    fi

    FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" setsid "$server" -m -p "$port" \
        >"$STATE/server.log" 2>&1 < /dev/null &
    pid=$!
    echo "$pid" > "$PIDFILE"
    for i in $(seq 1 75); do
        if ! kill -0 "$pid" 2>/dev/null; then
            log "the server exited: $(cat "$STATE/server.log")"
            rm -f "$PIDFILE"
            return 1
        fi
        port_in_use "$port" && break
        sleep 0.2
    done
    if ! port_in_use "$port"; then
        log "the server does not listen on port $port"
        stop_server
        return 1
    fi

    # A real round trip: create and drop a database through the server.
    local probe="$STATE/data/probe.fdb"
    if ! printf "CREATE DATABASE 'localhost/%s:%s' USER 'SYSDBA' PASSWORD '%s';\nDROP DATABASE;\n" \
            "$port" "$probe" "$password" \
        | FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" "$isql" -q >"$STATE/probe.log" 2>&1 \
        || grep -qiE "error|failed|unavailable" "$STATE/probe.log"; then
        log "the server does not answer: $(cat "$STATE/probe.log")"
        stop_server
        return 1
    fi

    cat > "$STATE/env" <<ENV
export VORLANDA_TEST_FBSERVER='localhost/$port:'
export VORLANDA_TEST_FBUSER='SYSDBA'
export VORLANDA_TEST_FBPASSWORD='$password'
export VORLANDA_TEST_FBDIR='$STATE/data'
ENV
    log "Firebird server on 127.0.0.1:$port (pid $pid), settings in $STATE/env"
    return 0
}

case "${1:-}" in
    start) start_server ;;
    stop) stop_server; exit 0 ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
