#!/usr/bin/env bash
# Private Postfix (SMTP, port 25) and Dovecot (POP3, port 110) instances for
# the tests that talk to real mail servers, and for the demonstration round.
#
#   scripts/mailservers.sh start [BUILD_DIR]   (re)start both, mailboxes empty
#   scripts/mailservers.sh stop  [BUILD_DIR]   stop both
#   scripts/mailservers.sh status [BUILD_DIR]
#   scripts/mailservers.sh dir [BUILD_DIR]     print the servers' folder only
#
# Everything lives in one folder (see servers_dir; BUILD_DIR defaults to build/
# in the checkout): configuration, queue, logs and the Maildirs that Postfix
# delivers into and Dovecot serves. Nothing is relayed off the machine: only
# the test domains below are accepted at RCPT time, every other destination is
# refused, and the default transport is "error" in case anything slips through.
#
# Both listen on one loopback address, TRV_MAIL_ADDRESS (default 127.0.0.1; the
# demonstration uses one of its own, so that neither the tests' instance nor a
# mail system of the machine's own is in its way). The program speaks to the
# standard ports only, so one instance can run per address; the directory of
# the running one is recorded in $ACTIVE_FILE for the tests.
set -euo pipefail

SCRIPT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_DIR=$(dirname "$SCRIPT_DIR")
ADDRESS=${TRV_MAIL_ADDRESS:-127.0.0.1}
[[ $ADDRESS =~ ^127\.([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})$ ]] &&
    [ "${BASH_REMATCH[1]}" -le 255 ] && [ "${BASH_REMATCH[2]}" -le 255 ] && [ "${BASH_REMATCH[3]}" -le 255 ] || {
    echo "mailservers: TRV_MAIL_ADDRESS=$ADDRESS is not a loopback address 127.x.y.z" >&2
    exit 2
}
if [ "$ADDRESS" = 127.0.0.1 ]; then
    ACTIVE_FILE=/tmp/trivorn-mailservers.dir
    LOCK_FILE=/tmp/trivorn-mailservers.lock
else
    ACTIVE_FILE=/tmp/trivorn-mailservers-$ADDRESS.dir
    LOCK_FILE=/tmp/trivorn-mailservers-$ADDRESS.lock
fi

PASSWORD=trivorn                 # every mailbox has this POP3 password
OPERATOR_DOMAIN=trivorn.test
PLAYER_DOMAINS="docomo.ne.jp ezweb.ne.jp t.vodafone.ne.jp example.com"
MAIL_UID=8                       # the system's "mail" user and group
MAIL_GID=8

die() { echo "mailservers: $*" >&2; exit 1; }
say() { echo "mailservers: $*"; }

# Postfix runs as "postfix" and delivers as "mail"; Dovecot's login and auth
# processes run as "dovecot". All of them must reach the servers' folder.
SERVER_USERS="mail postfix dovecot"
# Unix socket paths are limited to 107 bytes; the deepest ones the servers
# create under their folder need the rest.
MAX_DIR_LENGTH=60
# Fallback folders are named after the build folder, so that start, stop and
# the tests of one build always agree on it.
FALLBACK_PREFIX=/tmp/trivorn-ms-

reachable_by_servers() {  # $1: a folder
    local u
    for u in $SERVER_USERS; do
        setpriv --reuid="$u" --regid="$(id -g "$u" 2>/dev/null)" --clear-groups test -x "$1" 2>/dev/null ||
            return 1
    done
}

# Where the instance of build folder $1 lives: inside it when the servers can
# use that path, else a short folder outside the checkout. A checkout in a
# deep folder or in one the mail users cannot enter (anywhere under /root)
# must run the tests just the same.
servers_dir() {
    local inside=$1/mailservers
    # Only root can take on the other users to see what they can reach.
    [ "$(id -u)" = 0 ] || die "must run as root"
    if [ ${#inside} -le "$MAX_DIR_LENGTH" ] && reachable_by_servers "$1"; then
        echo "$inside"
    else
        echo "$FALLBACK_PREFIX$(printf '%s' "$1" | sha256sum | cut -c1-12)"
    fi
}

use_dir() {
    DIR=$1
    PF_CONF=$DIR/postfix
    PF_QUEUE=$DIR/postfix/queue
    PF_DATA=$DIR/postfix/data
    DC_DIR=$DIR/dovecot
    DC_CONF=$DC_DIR/dovecot.conf
    DC_RUN=$DC_DIR/run
    MAILDIRS=$DIR/maildirs
}

# Every mailbox, one address a line.
accounts() {
    echo "quiz@$OPERATOR_DOMAIN"
    echo "support@$OPERATOR_DOMAIN"
    echo "postmaster@$OPERATOR_DOMAIN"
    local d u
    for d in $PLAYER_DOMAINS; do
        for u in taro hanako jiro sakura; do echo "$u@$d"; done
    done
    for u in $(seq -f 'player%03g' 1 250); do echo "$u@docomo.ne.jp"; done
}

# --- processes -------------------------------------------------------------

pid_alive() { [ -n "${1:-}" ] && [ -d "/proc/$1" ]; }

# Pid in pid file $1 if that process is alive and its command name is $2.
pid_from_file() {
    local pid
    [ -f "$1" ] || return 0
    pid=$(head -n1 "$1" | tr -dc '0-9')
    if pid_alive "$pid" && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$2" ]; then echo "$pid"; fi
}

# Sends TERM to every pid given ("pid:name" words) and waits for all to end;
# the masters take their children with them.
stop_pids() {
    local p i left
    for p in "$@"; do kill -TERM "${p%%:*}" 2>/dev/null || true; done
    for i in $(seq 1 150); do
        left=""
        for p in "$@"; do pid_alive "${p%%:*}" && left="$left $p"; done
        [ -z "$left" ] && break
        sleep 0.1
    done
    for p in $left; do kill -KILL "${p%%:*}" 2>/dev/null || true; say "killed ${p#*:} (pid ${p%%:*})"; done
    for p in "$@"; do say "stopped ${p#*:} (pid ${p%%:*})"; done
}

stop_instance() {  # $1: a mailservers directory
    local pf dc pids=()
    pf=$(pid_from_file "$1/postfix/queue/pid/master.pid" master)
    dc=$(pid_from_file "$1/dovecot/run/master.pid" dovecot)
    [ -n "$pf" ] && pids+=("$pf:postfix")
    [ -n "$dc" ] && pids+=("$dc:dovecot")
    [ ${#pids[@]} -eq 0 ] || stop_pids "${pids[@]}"
    rm -f "$1/postfix/queue/pid/master.pid" "$1/dovecot/run/master.pid"
}

# Pids of the processes listening on $ADDRESS:$1, or on port $1 of every
# address (0.0.0.0 or ::), which takes ours too.
listeners() {
    local port hex own inodes inode fd a b c d
    port=$1
    hex=$(printf '%04X' "$port")
    IFS=. read -r a b c d <<< "$ADDRESS"
    # /proc/net/tcp writes an IPv4 address as one little-endian hex word.
    own=$(printf '%02X%02X%02X%02X' "$d" "$c" "$b" "$a")
    inodes=$(awk -v own="$own:$hex" -v any4="00000000:$hex" -v any6="00000000000000000000000000000000:$hex" \
        '$4 == "0A" && ($2 == own || $2 == any4 || $2 == any6) { print $10 }' /proc/net/tcp /proc/net/tcp6 2>/dev/null)
    [ -n "$inodes" ] || return 0
    for fd in /proc/[0-9]*/fd/*; do
        for inode in $inodes; do
            if [ "$(readlink "$fd" 2>/dev/null)" = "socket:[$inode]" ]; then
                fd=${fd#/proc/}; echo "${fd%%/*}"
            fi
        done
    done | sort -u
}

describe_pid() {
    echo "pid $1: $(tr '\0' ' ' < "/proc/$1/cmdline" 2>/dev/null)"
}

# Whether $1 is a folder this script puts an instance in (see servers_dir).
is_servers_dir() {
    case "$1" in */mailservers | "$FALLBACK_PREFIX"*) return 0 ;; *) return 1 ;; esac
}

# A listener left behind by an earlier run of this script (perhaps from a build
# directory that is gone) is recognised by its configuration path and stopped.
stop_stale_listener() {
    local port=$1 pid conf
    for pid in $(listeners "$port"); do
        if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = master ]; then
            conf=$(tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | sed -n 's/^MAIL_CONFIG=//p')
            if [[ $conf == */postfix ]] && is_servers_dir "${conf%/postfix}"; then
                stop_pids "$pid:stale postfix ($conf)"
            fi
        elif [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = dovecot ]; then
            conf=$(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | sed -n 's/.*-c \([^ ]*\).*/\1/p')
            if [[ $conf == */dovecot/dovecot.conf ]] && is_servers_dir "${conf%/dovecot/dovecot.conf}"; then
                stop_pids "$pid:stale dovecot ($conf)"
            fi
        fi
    done
}

require_free() {
    local port=$1 pid busy=""
    for pid in $(listeners "$port"); do busy="$busy
  $(describe_pid "$pid")"; done
    [ -z "$busy" ] || die "$ADDRESS:$port is taken by a server this script did not start:$busy
stop it (for a system service: service postfix stop / service dovecot stop) and retry"
}

# --- readiness ---------------------------------------------------------------

# First line the server on $ADDRESS:$1 sends, or nothing.
greeting() {
    local line=""
    { exec 3<>"/dev/tcp/$ADDRESS/$1"; } 2>/dev/null || return 0
    IFS= read -r -t 5 line <&3 || true
    printf 'QUIT\r\n' >&3 2>/dev/null || true
    exec 3<&- 3>&-
    printf '%s' "${line%$'\r'}"
}

wait_for() {  # port, expected start of the greeting, name, log
    local i g
    for i in $(seq 1 100); do
        g=$(greeting "$1")
        case "$g" in "$2"*) say "$3 answers on $ADDRESS:$1: $g"; return 0 ;; esac
        sleep 0.2
    done
    echo "--- last lines of $4" >&2
    tail -n 30 "$4" >&2 2>/dev/null || true
    die "$3 does not answer on $ADDRESS:$1"
}

# --- configuration -----------------------------------------------------------

write_postfix_config() {
    local d
    {
        echo "# Generated by scripts/mailservers.sh; rewritten at every start."
        echo "compatibility_level = 3.6"
        echo "queue_directory = $PF_QUEUE"
        echo "data_directory = $PF_DATA"
        echo "mail_owner = postfix"
        echo "setgid_group = postdrop"
        echo "myhostname = mail.$OPERATOR_DOMAIN"
        echo "mydomain = $OPERATOR_DOMAIN"
        echo "myorigin = \$myhostname"
        echo "# Postfix accepts only addresses configured on an interface here, and"
        echo "# the loopback interface carries 127.0.0.1 alone: the listening address"
        echo "# is named in master.cf instead, which binds it as given."
        echo "inet_interfaces = loopback-only"
        echo "inet_protocols = ipv4"
        echo "mynetworks = 127.0.0.0/8"
        echo "mydestination ="
        echo "relayhost ="
        echo "relay_domains ="
        echo "alias_maps ="
        echo "alias_database ="
        echo "# Only the test domains are accepted; anything else is refused at RCPT,"
        echo "# and should a message for elsewhere be queued it bounces locally."
        echo "smtpd_relay_restrictions = reject_unauth_destination"
        echo "default_transport = error:nothing leaves this test server"
        echo "relay_transport = error:nothing leaves this test server"
        echo "virtual_mailbox_domains = $OPERATOR_DOMAIN $PLAYER_DOMAINS"
        echo "virtual_mailbox_base = $MAILDIRS"
        echo "virtual_mailbox_maps = texthash:$PF_CONF/vmailbox"
        echo "virtual_uid_maps = static:$MAIL_UID"
        echo "virtual_gid_maps = static:$MAIL_GID"
        echo "virtual_minimum_uid = $MAIL_UID"
        echo "# Tests send hundreds of mails in a row and provoke refusals on purpose:"
        echo "# no throttling, no penalty pauses, no DNS waits."
        echo "in_flow_delay = 0"
        echo "smtpd_error_sleep_time = 0"
        echo "smtpd_soft_error_limit = 1000"
        echo "smtpd_hard_error_limit = 1000"
        echo "smtpd_peername_lookup = no"
        echo "smtpd_client_connection_count_limit = 0"
        echo "smtpd_client_connection_rate_limit = 0"
        echo "smtpd_recipient_limit = 2000"
        echo "biff = no"
        echo "append_dot_mydomain = no"
        echo "readme_directory = no"
        echo "maillog_file_prefixes = $DIR"
        echo "maillog_file = $DIR/postfix.log"
    } > "$PF_CONF/main.cf"

    # chroot off everywhere: the queue is not a prepared chroot jail.
    printf '# service     type  private unpriv  chroot  wakeup  maxproc command\n' > "$PF_CONF/master.cf"
    printf '%-13s inet  n       -       n       -       -       smtpd\n' "$ADDRESS:25" >> "$PF_CONF/master.cf"
    cat >> "$PF_CONF/master.cf" <<'EOF'
pickup        unix  n       -       n       60      1       pickup
cleanup       unix  n       -       n       -       0       cleanup
qmgr          unix  n       -       n       300     1       qmgr
rewrite       unix  -       -       n       -       -       trivial-rewrite
bounce        unix  -       -       n       -       0       bounce
defer         unix  -       -       n       -       0       bounce
trace         unix  -       -       n       -       0       bounce
verify        unix  -       -       n       -       1       verify
flush         unix  n       -       n       1000?   0       flush
proxymap      unix  -       -       n       -       -       proxymap
proxywrite    unix  -       -       n       -       1       proxymap
smtp          unix  -       -       n       -       -       smtp
relay         unix  -       -       n       -       -       smtp
showq         unix  n       -       n       -       -       showq
error         unix  -       -       n       -       -       error
retry         unix  -       -       n       -       -       error
discard       unix  -       -       n       -       -       discard
virtual       unix  -       n       n       -       -       virtual
anvil         unix  -       -       n       -       1       anvil
scache        unix  -       -       n       -       1       scache
postlog       unix-dgram n  -       n       -       1       postlogd
EOF

    : > "$PF_CONF/vmailbox"
    while read -r a; do
        d=${a#*@}
        echo "$a $d/${a%@*}/" >> "$PF_CONF/vmailbox"
    done < "$DIR/accounts"
}

write_dovecot_config() {
    cat > "$DC_CONF" <<EOF
# Generated by scripts/mailservers.sh; rewritten at every start.
protocols = pop3
listen = $ADDRESS
base_dir = $DC_RUN
state_dir = $DC_DIR/state
log_path = $DC_DIR/dovecot.log
ssl = no
# The players' phones of the quiz log in with USER/PASS in the clear.
disable_plaintext_auth = no
auth_mechanisms = plain
first_valid_uid = $MAIL_UID
last_valid_uid = $MAIL_UID
first_valid_gid = $MAIL_GID
mail_location = maildir:~
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $DC_DIR/users
}
userdb {
  driver = passwd-file
  args = username_format=%u $DC_DIR/users
}
service pop3-login {
  inet_listener pop3 {
    address = $ADDRESS
    port = 110
  }
  inet_listener pop3s {
    port = 0
  }
}
EOF
    : > "$DC_DIR/users"
    while read -r a; do
        echo "$a:{PLAIN}$PASSWORD:$MAIL_UID:$MAIL_GID::$MAILDIRS/${a#*@}/${a%@*}::" >> "$DC_DIR/users"
    done < "$DIR/accounts"
    chown root:dovecot "$DC_DIR/users"
    chmod 640 "$DC_DIR/users"
}

make_maildirs() {
    local a d boxes=()
    # Empty every mailbox, Dovecot's index files included; folders stay.
    [ -d "$MAILDIRS" ] && find "$MAILDIRS" -type f -delete
    while read -r a; do
        d=$MAILDIRS/${a#*@}/${a%@*}
        boxes+=("$d/cur" "$d/new" "$d/tmp")
    done < "$DIR/accounts"
    mkdir -p "${boxes[@]}"
    chown -R "$MAIL_UID:$MAIL_GID" "$MAILDIRS"
    chmod 755 "$MAILDIRS" "$MAILDIRS"/*
    chmod -R go-rwx "$MAILDIRS"/*/*
}

# --- commands ----------------------------------------------------------------

start() {
    [ "$(id -u)" = 0 ] || die "must run as root (ports 25 and 110)"
    [ -x /usr/sbin/postfix ] && [ -x /usr/sbin/dovecot ] ||
        die "postfix or dovecot missing: run scripts/deps.sh --mail"

    if [ -f "$ACTIVE_FILE" ]; then
        local other; other=$(cat "$ACTIVE_FILE")
        [ -d "$other" ] && stop_instance "$other"
    fi
    stop_instance "$DIR"
    stop_stale_listener 25
    stop_stale_listener 110
    require_free 25
    require_free 110

    # A fallback folder is in /tmp, where anyone may have made that name first.
    if [ -L "$DIR" ] || { [ -e "$DIR" ] && [ "$(stat -c %u "$DIR")" != 0 ]; }; then
        die "$DIR is a link or belongs to another user; remove it and retry"
    fi
    install -d -m 755 "$DIR" "$PF_CONF" "$DC_DIR"
    reachable_by_servers "$DIR" || die "one of $SERVER_USERS cannot reach $DIR"
    # A fresh queue: nothing from an earlier run may be delivered into this one.
    rm -rf "$PF_QUEUE" "$PF_DATA" "$DC_RUN" "$DC_DIR/state"
    install -d -m 755 "$PF_QUEUE"
    install -d -o postfix -g postfix -m 700 "$PF_DATA"
    install -d -m 755 "$DC_RUN" "$DC_DIR/state"
    : > "$DIR/postfix.log"
    : > "$DIR/start.log"
    : > "$DC_DIR/dovecot.log"

    accounts > "$DIR/accounts"
    make_maildirs
    write_postfix_config
    write_dovecot_config

    # Whatever fails from here on, nothing of this instance stays running.
    trap 'stop_instance "$DIR"' EXIT
    # The daemons must not inherit our stdout (a caller reading it through a
    # pipe would wait for them to end) nor the lock (held as long as they run).
    # "postfix start" checks the configuration and creates the queue folders.
    postfix -c "$PF_CONF" start </dev/null >>"$DIR/start.log" 2>&1 9>&- ||
        die "postfix did not start (see $DIR/start.log, $DIR/postfix.log)"
    dovecot -c "$DC_CONF" </dev/null >>"$DIR/start.log" 2>&1 9>&- ||
        die "dovecot did not start (see $DIR/start.log, $DC_DIR/dovecot.log)"

    wait_for 25 "220 " Postfix "$DIR/postfix.log"
    wait_for 110 "+OK" Dovecot "$DC_DIR/dovecot.log"
    echo "$DIR" > "$ACTIVE_FILE"
    trap - EXIT
    say "$(wc -l < "$DIR/accounts") mailboxes under $MAILDIRS, password \"$PASSWORD\""
}

stop() {
    stop_instance "$DIR"
    if [ -f "$ACTIVE_FILE" ] && [ "$(cat "$ACTIVE_FILE")" = "$DIR" ]; then
        rm -f "$ACTIVE_FILE"
    fi
}

status() {
    local g
    g=$(greeting 25); echo "smtp $ADDRESS:25  ${g:-(no answer)}"
    g=$(greeting 110); echo "pop3 $ADDRESS:110 ${g:-(no answer)}"
    echo "active directory: $(cat "$ACTIVE_FILE" 2>/dev/null || echo none)"
}

cmd=${1:-}
case "$cmd" in
    start | stop | status | dir) ;;
    *) echo "usage: $0 start|stop|status|dir [BUILD_DIR]" >&2; exit 2 ;;
esac
build_dir=${2:-$REPO_DIR/build}
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

case "$cmd" in
    status) status; exit 0 ;;
    dir) servers_dir "$build_dir"; exit 0 ;;
esac
dir=$(servers_dir "$build_dir")
use_dir "$dir"

# One start or stop at a time on this machine: two starts racing for the
# ports could leave two Postfix masters sharing port 25.
exec 9>"$LOCK_FILE"
flock -w 120 9 || die "another start/stop is still running"

case "$cmd" in
    start) start ;;
    stop) stop ;;
esac
