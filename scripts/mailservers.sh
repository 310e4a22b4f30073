#!/usr/bin/env bash
# Private Postfix (SMTP) and Dovecot (POP3) instances for the tests that talk
# to real mail servers, and for the demonstration round.
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
#
# Ports on that address:
#   25    SMTP as the players' carriers had it: no TLS, no authentication
#   587   submission: STARTTLS required, then AUTH PLAIN or LOGIN
#   2587  the same, but AUTH LOGIN is the only mechanism offered or taken
#   465   SMTP inside TLS from the first byte, AUTH PLAIN or LOGIN
#   110   POP3, USER/PASS in the clear as before, STLS offered
#   995   POP3 inside TLS from the first byte
# The TLS listeners present a certificate for $SERVER_NAME (and the address)
# signed by a private CA made afresh at every start; the client trusts neither
# by default. Their files, in tls/ of the servers' folder:
#   ca.pem          the CA certificate, to verify against
#   server.pem      the server certificate
#   server.key      its key (root only; both servers load it as root)
#   server.sha256   SHA-256 fingerprint of server.pem, "AB:CD:..." on one line
# Mailbox users authenticate with the same address and password everywhere:
# Postfix asks Dovecot's authentication service through a socket in Postfix's
# private queue folder.
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
SERVER_NAME=mail.$OPERATOR_DOMAIN   # greeting name, and the name in the certificate
# Players' domains: the carriers' of old, example.com (a computer at no
# carrier), the carriers' of today (i.softbank.jp is SoftBank's for the
# iPhone), and two providers whose accounts smartphone mail apps use.
PLAYER_DOMAINS="docomo.ne.jp ezweb.ne.jp t.vodafone.ne.jp example.com"
PLAYER_DOMAINS+=" au.com softbank.ne.jp i.softbank.jp ymobile.ne.jp gmail.com icloud.com"
MAIL_UID=8                       # the system's "mail" user and group
MAIL_GID=8
SMTP_PORT=25
SUBMISSION_PORT=587
# No registered port offers AUTH LOGIN alone; this one is free of the
# machine's own services and above the ports that need root.
LOGIN_ONLY_PORT=2587
LOGIN_ONLY_SERVICE=smtp-login    # the service name it gives Dovecot's authentication
SMTPS_PORT=465
POP3_PORT=110
POP3S_PORT=995
# Plain SMTP as on port 25, but throttled as a provider throttles one account:
# at most THROTTLE_MESSAGES messages per THROTTLE_UNIT from one client, then
# "450 4.7.1 Error: too much mail". The unit is a tenth of a provider's
# minute so a test round plays at ten times the speed of a real one.
THROTTLED_PORT=2525
THROTTLE_MESSAGES=${MAILSERVERS_THROTTLE:-5}
THROTTLE_UNIT=6s
# Mail to this domain is taken at RCPT and bounced at once, so a real
# delivery report comes back to the sender.
BOUNCING_DOMAIN=gone.test
ALL_PORTS="$SMTP_PORT $SUBMISSION_PORT $LOGIN_ONLY_PORT $SMTPS_PORT $THROTTLED_PORT $POP3_PORT $POP3S_PORT"

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
    TLS_DIR=$DIR/tls
    # Postfix's SMTP server connects here to have Dovecot check a password.
    # Inside Postfix's private folder, so no other user can reach it.
    AUTH_SOCKET=$PF_QUEUE/private/auth
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

# First line the server on $ADDRESS:$1 sends once TLS is up, or nothing: for
# the listeners that speak TLS from the first byte. The handshake must succeed
# against the CA in folder $2 for the certificate's name, so an answer here
# also says the certificate is the one a client should see.
tls_greeting() {
    local line
    [ -f "$2/ca.pem" ] || return 0
    # s_client sends QUIT as soon as it is connected; the server answers it
    # after its greeting and closes, which ends s_client.
    line=$(printf 'QUIT\r\n' | timeout 10 openssl s_client -quiet -connect "$ADDRESS:$1" \
        -CAfile "$2/ca.pem" -verify_return_error -verify_hostname "$SERVER_NAME" 2>/dev/null |
        head -n1) || true
    printf '%s' "${line%$'\r'}"
}

wait_for() {  # port, expected start of the greeting, name, log[, TLS folder]
    local i g
    for i in $(seq 1 100); do
        if [ -n "${5:-}" ]; then g=$(tls_greeting "$1" "$5"); else g=$(greeting "$1"); fi
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
    cat > "$PF_CONF/main.cf" <<EOF
# Generated by scripts/mailservers.sh; rewritten at every start.
compatibility_level = 3.6
queue_directory = $PF_QUEUE
data_directory = $PF_DATA
mail_owner = postfix
setgid_group = postdrop
myhostname = $SERVER_NAME
mydomain = $OPERATOR_DOMAIN
myorigin = \$myhostname
# Postfix accepts only addresses configured on an interface here, and
# the loopback interface carries 127.0.0.1 alone: the listening address
# is named in master.cf instead, which binds it as given.
inet_interfaces = loopback-only
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
# The bouncing domain is local, and with no list of its users smtpd takes
# every recipient; the local agent, finding no such user, then bounces it.
mydestination = $BOUNCING_DOMAIN
local_recipient_maps =
relayhost =
relay_domains =
alias_maps =
alias_database =
# Only the test domains are accepted; anything else is refused at RCPT,
# and should a message for elsewhere be queued it bounces locally.
smtpd_relay_restrictions = reject_unauth_destination
default_transport = error:nothing leaves this test server
relay_transport = error:nothing leaves this test server
virtual_mailbox_domains = $OPERATOR_DOMAIN $PLAYER_DOMAINS
virtual_mailbox_base = $MAILDIRS
virtual_mailbox_maps = texthash:$PF_CONF/vmailbox
virtual_uid_maps = static:$MAIL_UID
virtual_gid_maps = static:$MAIL_GID
virtual_minimum_uid = $MAIL_UID
# Tests send hundreds of mails in a row and provoke refusals on purpose:
# no throttling, no penalty pauses, no DNS waits.
in_flow_delay = 0
smtpd_error_sleep_time = 0
smtpd_soft_error_limit = 1000
smtpd_hard_error_limit = 1000
smtpd_peername_lookup = no
smtpd_client_connection_count_limit = 0
smtpd_client_connection_rate_limit = 0
smtpd_recipient_limit = 2000
# Only the throttled listener counts messages; this is its time unit.
anvil_rate_time_unit = $THROTTLE_UNIT
biff = no
append_dot_mydomain = no
readme_directory = no
maillog_file_prefixes = $DIR
maillog_file = $DIR/postfix.log
# What the submission listeners in master.cf use. These only name the
# files and the socket: TLS and AUTH stay off unless a listener turns
# them on, so port 25 offers neither.
smtpd_tls_chain_files = $TLS_DIR/server.key, $TLS_DIR/server.pem
smtpd_tls_protocols = >=TLSv1.2
smtpd_tls_mandatory_protocols = >=TLSv1.2
smtpd_tls_loglevel = 1
smtpd_sasl_type = dovecot
smtpd_sasl_path = $AUTH_SOCKET
# A client that has not logged in may not send anything on them.
submission_client_restrictions = permit_sasl_authenticated, reject
EOF

    # chroot off everywhere: the queue is not a prepared chroot jail.
    printf '# service     type  private unpriv  chroot  wakeup  maxproc command\n' > "$PF_CONF/master.cf"
    printf '%-13s inet  n       -       n       -       -       smtpd\n' "$ADDRESS:$SMTP_PORT" >> "$PF_CONF/master.cf"
    # Loopback is in mynetworks, which the limits spare by default.
    printf '%-13s inet  n       -       n       -       -       smtpd\n' "$ADDRESS:$THROTTLED_PORT" >> "$PF_CONF/master.cf"
    echo "  -o syslog_name=postfix/throttled
  -o smtpd_client_message_rate_limit=$THROTTLE_MESSAGES
  -o smtpd_client_event_limit_exceptions=" >> "$PF_CONF/master.cf"
    # Submission as mail providers offer it today: TLS first (STARTTLS, or from
    # the first byte on the smtps port), then a password, then the mail. Only
    # the test domains are accepted here too: the relay rule of port 25 stays.
    local submission="
  -o smtpd_tls_auth_only=yes
  -o smtpd_sasl_auth_enable=yes
  -o smtpd_client_restrictions=\$submission_client_restrictions"
    {
        printf '%-13s inet  n       -       n       -       -       smtpd' "$ADDRESS:$SUBMISSION_PORT"
        echo "
  -o syslog_name=postfix/submission
  -o smtpd_tls_security_level=encrypt$submission"
        # For the client's way through a server that knows no other mechanism.
        # The filter only hides the others from EHLO; Dovecot refuses PLAIN
        # for this service name (see write_dovecot_config).
        printf '%-13s inet  n       -       n       -       -       smtpd' "$ADDRESS:$LOGIN_ONLY_PORT"
        echo "
  -o syslog_name=postfix/submission-login
  -o smtpd_tls_security_level=encrypt$submission
  -o smtpd_sasl_mechanism_filter=login
  -o smtpd_sasl_service=$LOGIN_ONLY_SERVICE"
        printf '%-13s inet  n       -       n       -       -       smtpd' "$ADDRESS:$SMTPS_PORT"
        echo "
  -o syslog_name=postfix/smtps
  -o smtpd_tls_wrappermode=yes
  -o smtpd_tls_security_level=encrypt$submission"
    } >> "$PF_CONF/master.cf"
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
local         unix  -       n       n       -       -       local
retry         unix  -       -       n       -       -       error
discard       unix  -       -       n       -       -       discard
virtual       unix  -       n       n       -       -       virtual
anvil         unix  -       -       n       -       1       anvil
scache        unix  -       -       n       -       1       scache
postlog       unix-dgram n  -       n       -       1       postlogd
tlsmgr        unix  -       -       n       1000?   1       tlsmgr
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
# STLS on port 110 and TLS from the first byte on 995, but not required:
ssl = yes
ssl_cert = <$TLS_DIR/server.pem
ssl_key = <$TLS_DIR/server.key
ssl_min_protocol = TLSv1.2
# the players' phones of the quiz log in with USER/PASS in the clear.
disable_plaintext_auth = no
# LOGIN is there for Postfix's submission listeners, which offer what Dovecot
# has; POP3's CAPA lists it too ("SASL PLAIN LOGIN").
auth_mechanisms = plain login
first_valid_uid = $MAIL_UID
last_valid_uid = $MAIL_UID
first_valid_gid = $MAIL_GID
mail_location = maildir:~
# Postfix's port that offers AUTH LOGIN alone hides PLAIN only from EHLO; a
# client trying PLAIN there anyway must fail as on a server without it, or a
# client that ignores what is offered would pass. For that service every
# mailbox is denied PLAIN; for all others the list of the denied is empty.
passdb {
  driver = passwd-file
  args = username_format=%u $DC_DIR/%{if;%{service};eq;$LOGIN_ONLY_SERVICE;users;nobody}
  deny = yes
  mechanisms = plain
}
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
    port = $POP3_PORT
  }
  inet_listener pop3s {
    address = $ADDRESS
    port = $POP3S_PORT
    ssl = yes
  }
}
service auth {
  unix_listener $AUTH_SOCKET {
    mode = 0600
    user = postfix
    group = postfix
  }
}
EOF
    : > "$DC_DIR/users"
    while read -r a; do
        echo "$a:{PLAIN}$PASSWORD:$MAIL_UID:$MAIL_GID::$MAILDIRS/${a#*@}/${a%@*}::" >> "$DC_DIR/users"
    done < "$DIR/accounts"
    : > "$DC_DIR/nobody"
    chown root:dovecot "$DC_DIR/users" "$DC_DIR/nobody"
    chmod 640 "$DC_DIR/users" "$DC_DIR/nobody"
}

# A private CA and a server certificate it signs, new at every start. Tests
# need a certificate that no client trusts out of the box, then one they can
# make trusted (the CA file, or the server certificate's fingerprint). The CA
# key is thrown away once it has signed: nothing else is ever signed with it.
make_certificates() {
    local work ok=yes
    rm -rf "$TLS_DIR"
    install -d -m 755 "$TLS_DIR"
    work=$(mktemp -d)
    printf '%s\n' "basicConstraints = critical, CA:FALSE" \
        "keyUsage = critical, digitalSignature, keyEncipherment" \
        "extendedKeyUsage = serverAuth" \
        "subjectKeyIdentifier = hash" \
        "authorityKeyIdentifier = keyid" \
        "subjectAltName = DNS:$SERVER_NAME, IP:$ADDRESS" > "$work/server.ext"
    (
        # Keys are unreadable to anyone but root from their first byte.
        umask 077
        openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 365 \
            -subj "/O=TRIVORN test mail servers/CN=TRIVORN test CA $ADDRESS" \
            -addext "basicConstraints = critical, CA:TRUE" \
            -addext "keyUsage = critical, keyCertSign, cRLSign" \
            -keyout "$work/ca.key" -out "$TLS_DIR/ca.pem" &&
        openssl req -new -newkey rsa:2048 -nodes -sha256 -subj "/CN=$SERVER_NAME" \
            -keyout "$TLS_DIR/server.key" -out "$work/server.csr" &&
        openssl x509 -req -sha256 -days 365 -in "$work/server.csr" \
            -CA "$TLS_DIR/ca.pem" -CAkey "$work/ca.key" -CAserial "$work/ca.srl" -CAcreateserial \
            -extfile "$work/server.ext" -out "$TLS_DIR/server.pem"
    ) >>"$DIR/start.log" 2>&1 || ok=no
    rm -rf "$work"
    [ "$ok" = yes ] || die "openssl could not make the certificates (see $DIR/start.log)"
    chown root:root "$TLS_DIR"/*
    chmod 644 "$TLS_DIR/ca.pem" "$TLS_DIR/server.pem"
    chmod 600 "$TLS_DIR/server.key"
    openssl x509 -in "$TLS_DIR/server.pem" -noout -fingerprint -sha256 | sed 's/^[^=]*=//' > "$TLS_DIR/server.sha256"
    chmod 644 "$TLS_DIR/server.sha256"
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
    [ "$(id -u)" = 0 ] || die "must run as root (ports below 1024)"
    if [ ! -x /usr/sbin/postfix ] || [ ! -x /usr/sbin/dovecot ] || ! command -v openssl >/dev/null; then
        die "postfix, dovecot or openssl missing: run scripts/deps.sh --mail"
    fi

    if [ -f "$ACTIVE_FILE" ]; then
        local other; other=$(cat "$ACTIVE_FILE")
        [ -d "$other" ] && stop_instance "$other"
    fi
    stop_instance "$DIR"
    local port
    for port in $ALL_PORTS; do stop_stale_listener "$port"; done
    for port in $ALL_PORTS; do require_free "$port"; done

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
    make_certificates
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

    wait_for "$SMTP_PORT" "220 " Postfix "$DIR/postfix.log"
    wait_for "$SUBMISSION_PORT" "220 " "Postfix submission" "$DIR/postfix.log"
    wait_for "$LOGIN_ONLY_PORT" "220 " "Postfix submission (AUTH LOGIN only)" "$DIR/postfix.log"
    wait_for "$SMTPS_PORT" "220 " "Postfix smtps (TLS)" "$DIR/postfix.log" "$TLS_DIR"
    wait_for "$THROTTLED_PORT" "220 " "Postfix throttled" "$DIR/postfix.log"
    wait_for "$POP3_PORT" "+OK" Dovecot "$DC_DIR/dovecot.log"
    wait_for "$POP3S_PORT" "+OK" "Dovecot pop3s (TLS)" "$DC_DIR/dovecot.log" "$TLS_DIR"
    # Postfix offers AUTH only while Dovecot's socket for it is there.
    [ -S "$AUTH_SOCKET" ] || die "Dovecot did not make $AUTH_SOCKET (see $DC_DIR/dovecot.log)"
    echo "$DIR" > "$ACTIVE_FILE"
    trap - EXIT
    say "$(wc -l < "$DIR/accounts") mailboxes under $MAILDIRS, password \"$PASSWORD\""
    say "TLS certificate for $SERVER_NAME and $ADDRESS: $TLS_DIR/server.pem, CA $TLS_DIR/ca.pem"
    say "its SHA-256 fingerprint: $(cat "$TLS_DIR/server.sha256")"
}

stop() {
    stop_instance "$DIR"
    if [ -f "$ACTIVE_FILE" ] && [ "$(cat "$ACTIVE_FILE")" = "$DIR" ]; then
        rm -f "$ACTIVE_FILE"
    fi
}

# Whether anything accepts a connection on $ADDRESS:$1.
listening() {
    { exec 3<>"/dev/tcp/$ADDRESS/$1"; } 2>/dev/null || return 1
    exec 3<&- 3>&-
}

status_line() {  # name, port, what it says
    printf '%-16s %-21s %s\n' "$1" "$ADDRESS:$2" "${3:-(no answer)}"
}

status() {
    local active tls g port
    active=$(cat "$ACTIVE_FILE" 2>/dev/null || true)
    tls=${active:+$active/tls}
    status_line smtp "$SMTP_PORT" "$(greeting "$SMTP_PORT")"
    status_line submission "$SUBMISSION_PORT" "$(greeting "$SUBMISSION_PORT")"
    status_line submission-login "$LOGIN_ONLY_PORT" "$(greeting "$LOGIN_ONLY_PORT")"
    status_line throttled "$THROTTLED_PORT" "$(greeting "$THROTTLED_PORT")"
    status_line pop3 "$POP3_PORT" "$(greeting "$POP3_PORT")"
    # The TLS ones: whether they listen, and whether the handshake checks out
    # against this instance's CA.
    for port in "$SMTPS_PORT:smtps" "$POP3S_PORT:pop3s"; do
        if ! listening "${port%%:*}"; then
            g=""
        elif [ -n "$tls" ] && g=$(tls_greeting "${port%%:*}" "$tls") && [ -n "$g" ]; then
            g="listening; with TLS: $g"
        else
            g="listening (no TLS greeting verified against ${tls:-no CA}/ca.pem)"
        fi
        status_line "${port#*:}" "${port%%:*}" "$g"
    done
    echo "active directory: ${active:-none}"
    if [ -n "$tls" ] && [ -f "$tls/server.sha256" ]; then
        echo "TLS: CA $tls/ca.pem, server certificate for $SERVER_NAME $tls/server.pem"
        echo "     SHA-256 $(cat "$tls/server.sha256")"
    fi
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
