#!/usr/bin/env bash
# Starts or stops two vsftpd servers on loopback for the file-transfer tests.
#
#   scripts/test-ftpserver.sh start   start them, write <state>/env, exit 0 (non-zero if they cannot start)
#   scripts/test-ftpserver.sh stop    stop them
#
# One server speaks plain FTP only; the other offers TLS (AUTH TLS) with a
# certificate made here with openssl for 127.0.0.1 and refuses ALLO ("550
# Permission denied"), so an upload is seen not to depend on it. Both allow
# active data connections, log a local user in, and start in <state>/home.
# The user (vlftptest, needed for the FTP login only) is made
# when missing and gets a fresh password at every start; this needs root.
# <state> is build/ftpserver (VORLANDA_FTPSERVER_DIR overrides).
# <state>/env exports for the tests:
#   VORLANDA_TEST_FTP_HOST       "127.0.0.1:<port>" of the plain server
#   VORLANDA_TEST_FTPS_HOST      "127.0.0.1:<port>" of the TLS server
#   VORLANDA_TEST_FTP_USER, VORLANDA_TEST_FTP_PASSWORD
#   VORLANDA_TEST_FTP_ROOT       the user's folder on disk (where a login starts)
#   VORLANDA_TEST_FTP_CA         the TLS server's certificate (to be trusted)
#   VORLANDA_TEST_FTP_OTHER_CA   another certificate, which the TLS server does not have
set -uo pipefail

HERE="$(cd "$(dirname "$(readlink -f "$0")")" && pwd)"
REPO="$(dirname "$HERE")"
STATE="${VORLANDA_FTPSERVER_DIR:-$REPO/build/ftpserver}"
FIRST_PORT="${VORLANDA_FTPSERVER_PORT:-2121}"
FTPUSER="${VORLANDA_FTPSERVER_USER:-vlftptest}"

log() { echo "test-ftpserver: $*" >&2; }

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

free_port() {
    local port="$1"
    while port_in_use "$port"; do
        port=$((port + 1))
        if [ "$port" -gt $(($1 + 60)) ]; then return 1; fi
    done
    echo "$port"
}

stop_one() {
    local pidfile="$1" pid i
    [ -f "$pidfile" ] || return 0
    pid="$(cat "$pidfile" 2>/dev/null)"
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null
        for i in $(seq 1 25); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.2
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
}

stop_servers() {
    stop_one "$STATE/plain.pid"
    stop_one "$STATE/tls.pid"
    rm -f "$STATE/env"
}

write_conf() { # name port tls
    local name="$1" port="$2" tls="$3"
    cat > "$STATE/$name.conf" <<CONF
# vsftpd for the tests (written by scripts/test-ftpserver.sh)
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
userlist_enable=NO
pam_service_name=vsftpd
local_root=$STATE/home
secure_chroot_dir=$STATE/empty
port_enable=YES
connect_from_port_20=NO
pasv_enable=YES
pasv_min_port=40000
pasv_max_port=40100
seccomp_sandbox=NO
xferlog_enable=YES
vsftpd_log_file=$STATE/$name.log
log_ftp_protocol=NO
CONF
    if [ "$tls" = yes ]; then
        cat >> "$STATE/$name.conf" <<CONF
ssl_enable=YES
rsa_cert_file=$STATE/cert.pem
rsa_private_key_file=$STATE/key.pem
allow_anon_ssl=NO
force_local_logins_ssl=NO
force_local_data_ssl=NO
require_ssl_reuse=NO
ssl_ciphers=HIGH
# A server that refuses ALLO: an upload must not depend on it.
cmds_denied=ALLO
CONF
    fi
}

start_one() { # name port
    local name="$1" port="$2" pid i
    setsid vsftpd "$STATE/$name.conf" >"$STATE/$name.out" 2>&1 < /dev/null &
    pid=$!
    echo "$pid" > "$STATE/$name.pid"
    for i in $(seq 1 50); do
        if ! kill -0 "$pid" 2>/dev/null; then
            log "vsftpd ($name) exited: $(cat "$STATE/$name.out")"
            return 1
        fi
        port_in_use "$port" && return 0
        sleep 0.1
    done
    log "vsftpd ($name) does not listen on port $port"
    return 1
}

start_servers() {
    local vsftpd openssl plain tls password
    vsftpd="$(command -v vsftpd || ls /usr/sbin/vsftpd 2>/dev/null)" || { log "no vsftpd (package vsftpd)"; return 1; }
    [ -n "$vsftpd" ] || { log "no vsftpd (package vsftpd)"; return 1; }
    PATH="$(dirname "$vsftpd"):$PATH"
    openssl="$(command -v openssl)" || { log "no openssl (package openssl)"; return 1; }
    [ "$(id -u)" -eq 0 ] || { log "needs root (a local FTP user is made and given a password)"; return 1; }

    stop_servers
    rm -rf "$STATE"
    mkdir -p "$STATE/home" "$STATE/empty" || return 1
    chmod 755 "$STATE" "$STATE/empty"

    if ! id "$FTPUSER" >/dev/null 2>&1; then
        useradd -M -d "$STATE/home" -s /bin/sh "$FTPUSER" >"$STATE/useradd.log" 2>&1 \
            || { log "could not make the user $FTPUSER: $(cat "$STATE/useradd.log")"; return 1; }
    fi
    # A user left by a run from another folder keeps that folder as its home:
    # point it at this run's.
    [ "$(getent passwd "$FTPUSER" | cut -d: -f6)" = "$STATE/home" ] || usermod -d "$STATE/home" "$FTPUSER"
    # The login shell must be one that /etc/shells lists (pam_shells).
    grep -qx "$(getent passwd "$FTPUSER" | cut -d: -f7)" /etc/shells 2>/dev/null || usermod -s /bin/sh "$FTPUSER"
    password="f$(head -c 64 /dev/urandom | tr -dc 'A-Za-z0-9' | head -c 14)"
    echo "$FTPUSER:$password" | chpasswd || { log "could not set the password of $FTPUSER"; return 1; }
    chown "$FTPUSER" "$STATE/home"

    # The TLS server's certificate, and another one it does not have.
    "$openssl" req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=127.0.0.1" \
        -addext "subjectAltName=IP:127.0.0.1" -keyout "$STATE/key.pem" -out "$STATE/cert.pem" \
        >"$STATE/openssl.log" 2>&1 || { log "openssl failed: $(cat "$STATE/openssl.log")"; return 1; }
    "$openssl" req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=127.0.0.1" \
        -addext "subjectAltName=IP:127.0.0.1" -keyout "$STATE/other-key.pem" -out "$STATE/other-cert.pem" \
        >>"$STATE/openssl.log" 2>&1 || { log "openssl failed: $(cat "$STATE/openssl.log")"; return 1; }
    chmod 600 "$STATE/key.pem" "$STATE/other-key.pem"

    plain="$(free_port "$FIRST_PORT")" || { log "no free port from $FIRST_PORT on"; return 1; }
    write_conf plain "$plain" no
    start_one plain "$plain" || { stop_servers; return 1; }
    tls="$(free_port $((plain + 1)))" || { log "no free port from $((plain + 1)) on"; stop_servers; return 1; }
    write_conf tls "$tls" yes
    start_one tls "$tls" || { stop_servers; return 1; }

    cat > "$STATE/env" <<ENV
export VORLANDA_TEST_FTP_HOST='127.0.0.1:$plain'
export VORLANDA_TEST_FTPS_HOST='127.0.0.1:$tls'
export VORLANDA_TEST_FTP_USER='$FTPUSER'
export VORLANDA_TEST_FTP_PASSWORD='$password'
export VORLANDA_TEST_FTP_ROOT='$STATE/home'
export VORLANDA_TEST_FTP_CA='$STATE/cert.pem'
export VORLANDA_TEST_FTP_OTHER_CA='$STATE/other-cert.pem'
ENV
    chmod 600 "$STATE/env"
    log "vsftpd on 127.0.0.1:$plain (plain) and 127.0.0.1:$tls (TLS), settings in $STATE/env"
    return 0
}

case "${1:-}" in
    start) start_servers ;;
    stop) stop_servers; exit 0 ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
