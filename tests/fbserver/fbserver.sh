#!/usr/bin/env bash
# Private Firebird server on loopback for the server-mode tests.
#
#   fbserver.sh start DIR PORT   set up DIR as a private Firebird root and start the server
#   fbserver.sh stop DIR         stop the server started for DIR
#
# The server has its own configuration, security database (SYSDBA / masterkey)
# and lock directory, so it is independent of the system-wide service.
set -euo pipefail

FB_LIB=/usr/lib/x86_64-linux-gnu/firebird/3.0
FB_SERVER=/usr/sbin/firebird
PASSWORD=masterkey

die() {
    echo "fbserver: $*" >&2
    exit 1
}

port_open() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Running (a zombie, waiting for its parent to read its status, is not).
is_alive() {
    local stat state
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    state=${stat##*) }
    [[ -n "$state" && "${state%% *}" != Z ]]
}

# Compared without starting a process: stop scans every process, and one readlink
# each took longer than the fixture's time limit on a busy machine.
is_server() {
    [[ "/proc/$1/exe" -ef "$FB_SERVER" ]]
}

# Servers running for a given root: the recorded pid plus any server whose
# environment points at the root (left behind when the pid file was lost).
server_pids() {
    local dir=$1 p
    if [[ -f "$dir/server.pid" ]] && is_server "$(<"$dir/server.pid")"; then
        cat "$dir/server.pid"
    fi
    for p in /proc/[0-9]*; do
        is_server "${p#/proc/}" || continue
        if tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "FIREBIRD=$dir"; then
            echo "${p#/proc/}"
        fi
    done
}

stop() {
    local dir pids pid alive i
    dir=$(realpath -m "$1")
    pids=$(server_pids "$dir" | sort -u)
    # shellcheck disable=SC2086
    [[ -z "$pids" ]] || kill $pids 2>/dev/null || true
    for ((i = 0; i < 100 && ${#pids} > 0; i++)); do
        sleep 0.1
        alive=
        for pid in $pids; do
            if is_server "$pid"; then alive+=" $pid"; fi
        done
        pids=$alive
    done
    # shellcheck disable=SC2086
    [[ -z "$pids" ]] || kill -KILL $pids 2>/dev/null || true
    rm -f "$dir/server.pid"
}

isql() {
    isql-fb -q -bail "$@" >>"$DIR/setup.log" 2>&1
}

start() {
    local port=$2 pid i status
    DIR=$(realpath -m "$1")
    [[ "$port" =~ ^[0-9]+$ ]] || die "invalid port '$port'"
    [[ -x "$FB_SERVER" ]] || die "$FB_SERVER missing (install firebird3.0-server-core)"
    command -v isql-fb >/dev/null || die "isql-fb missing (install firebird3.0-utils)"

    stop "$DIR"
    port_open "$port" && die "port $port on 127.0.0.1 is already in use"

    mkdir -p "$DIR"
    rm -rf "$DIR/lock" "$DIR/security3.fdb" "$DIR/firebird.msg" "$DIR/intl" "$DIR/setup.log"
    mkdir "$DIR/lock"
    ln -s "$FB_LIB/firebird.msg" "$DIR/firebird.msg"
    # The engine refuses a symlinked character set module, so copy it.
    mkdir "$DIR/intl"
    cp "$FB_LIB/intl/libfbintl.so" "$DIR/intl/"
    cat >"$DIR/firebird.conf" <<CONF
ServerMode = Super
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $DIR/security3.fdb
AuthServer = Srp256, Srp
UserManager = Srp
WireCrypt = Enabled
CONF

    export FIREBIRD="$DIR" FIREBIRD_LOCK="$DIR/lock"
    isql -user SYSDBA <<<"create database '$DIR/security3.fdb';" ||
        die "cannot create $DIR/security3.fdb (see $DIR/setup.log)"
    isql -user SYSDBA "$DIR/security3.fdb" <<<"create user SYSDBA password '$PASSWORD' using plugin Srp; commit;" ||
        die "cannot create SYSDBA (see $DIR/setup.log)"

    setsid "$FB_SERVER" </dev/null >"$DIR/server.log" 2>&1 &
    pid=$!
    echo "$pid" >"$DIR/server.pid"
    # The background process is this shell, then setsid, and only then the server:
    # judge it by whether it is still alive, not by what it runs yet.
    for ((i = 0; i < 300; i++)); do
        port_open "$port" && break
        if ! is_alive "$pid"; then
            wait "$pid" && status=0 || status=$?
            die "server exited at startup (status $status): $(cat "$DIR/server.log")"
        fi
        sleep 0.1
    done
    if ! port_open "$port"; then
        stop "$DIR"
        die "server did not accept connections on 127.0.0.1:$port within 30 s: $(cat "$DIR/server.log")"
    fi
    if ! is_server "$pid"; then
        stop "$DIR"
        die "process $pid is not $FB_SERVER after the port opened: $(cat "$DIR/server.log")"
    fi

    # Prove that a remote SYSDBA login works before any test relies on it. A server
    # that has just opened its port may not answer yet (the first run on a fresh
    # machine): ask again for up to 30 s.
    for ((i = 0; i < 60; i++)); do
        rm -f "$DIR/probe.fdb"
        isql <<<"create database '127.0.0.1/$port:$DIR/probe.fdb' user SYSDBA password '$PASSWORD'; drop database;" &&
            return 0
        is_alive "$pid" || break
        sleep 0.5
    done
    stop "$DIR"
    die "remote SYSDBA login failed (see $DIR/setup.log)"
}

case "${1:-}" in
start)
    (($# == 3)) || die "usage: $0 start DIR PORT"
    start "$2" "$3"
    ;;
stop)
    (($# == 2)) || die "usage: $0 stop DIR"
    stop "$2"
    ;;
*) die "usage: $0 start DIR PORT | stop DIR" ;;
esac
