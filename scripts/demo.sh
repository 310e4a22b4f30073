#!/usr/bin/env bash
# Plays the demonstration round: the project's own Postfix and Dovecot on a
# loopback address of their own, the round prepared in a demo data folder,
# thirteen simulated phones, and the program opened on that folder. Press
# ＳＴＡＲＴ and watch. Everything started here is stopped, by pid, when the
# program exits (or this script is interrupted).
#
#   scripts/demo.sh [--reset] [--speed N] [--build-dir DIR] [--demo-dir DIR]
#
#   --reset      start the demo folder afresh (round 1); otherwise a played
#                round stays and the next run plays the next round
#   --speed N    countdowns run N times faster (1 = real minutes)
#   --build-dir  where the program and the demo tools were built (build/)
#   --demo-dir   the demo's folder: data/, the servers' folder, demo.pids,
#                phones-mail/ (<build dir>/demo-round); tests and the picture
#                tool use their own, so they never touch the one a person
#                plays in
#
# Every mail the phones receive is kept in <demo dir>/phones-mail/, one file a
# mail (<address>-<n>.eml), as the phone retrieved it: what the players got,
# to read or to give to a spam filter. It is emptied at every start.
#
# The pids of what was started are written to <demo dir>/demo.pids, one
# "name pid" a line, for whoever wants to watch them. The servers' address
# is the same for every demo folder: one demo runs at a time.
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$REPO_DIR/build
# The demonstration's own loopback address: a mail system of the machine's
# own on 127.0.0.1, or the tests' servers, stay out of its way.
ADDRESS=127.84.86.1
reset=no
speed=1
DEMO_DIR=""
while [ $# -gt 0 ]; do
    case "$1" in
        --reset) reset=yes ;;
        --speed) speed=${2:?--speed needs a number}; shift ;;
        --build-dir) BUILD_DIR=$(cd "${2:?--build-dir needs a folder}" && pwd); shift ;;
        --demo-dir) DEMO_DIR=${2:?--demo-dir needs a folder}; shift ;;
        *) echo "demo: unknown argument $1 (see the top of $0)" >&2; exit 2 ;;
    esac
    shift
done
[[ $speed =~ ^[0-9]+$ ]] && [ "$speed" -ge 1 ] && [ "$speed" -le 60 ] || { echo "demo: --speed 1..60" >&2; exit 2; }

DEMO_DIR=${DEMO_DIR:-$BUILD_DIR/demo-round}
mkdir -p "$DEMO_DIR"
DEMO_DIR=$(cd "$DEMO_DIR" && pwd)
DATA_DIR=$DEMO_DIR/data
PIDS_FILE=$DEMO_DIR/demo.pids
for tool in src/trivorn demo/trivorn-demo-data demo/trivorn-phones; do
    [ -x "$BUILD_DIR/$tool" ] || { echo "demo: $BUILD_DIR/$tool is not built (scripts/build.sh)" >&2; exit 1; }
done

servers() { TRV_MAIL_ADDRESS=$ADDRESS bash "$REPO_DIR/scripts/mailservers.sh" "$1" "$DEMO_DIR"; }

program=""
phones=""
stop_pid() {  # $1: pid, $2: name
    [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
    kill -TERM "$1" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
    echo "demo: killed $2 (pid $1)"
}
cleanup() {
    stop_pid "$program" program
    stop_pid "$phones" phones
    servers stop >/dev/null || true
    rm -f "$PIDS_FILE"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$reset" = yes ]; then rm -rf "$DATA_DIR"; fi
mkdir -p "$DATA_DIR"
"$BUILD_DIR/demo/trivorn-demo-data" --folder "$DATA_DIR" --server "$ADDRESS"

servers start
servers_dir=$(servers dir)
rm -rf "$DEMO_DIR/phones-mail"
mkdir -p "$DEMO_DIR/phones-mail"

"$BUILD_DIR/src/trivorn" --folder "$DATA_DIR" --speed "$speed" &
program=$!
"$BUILD_DIR/demo/trivorn-phones" --server "$ADDRESS" --servers-dir "$servers_dir" --speed "$speed" \
    --watch-pid "$program" --max-minutes 60 --keep-mail "$DEMO_DIR/phones-mail" &
phones=$!
{
    echo "program $program"
    echo "phones $phones"
    echo "postfix $(head -n1 "$servers_dir/postfix/queue/pid/master.pid" 2>/dev/null | tr -dc 0-9)"
    echo "dovecot $(head -n1 "$servers_dir/dovecot/run/master.pid" 2>/dev/null | tr -dc 0-9)"
} > "$PIDS_FILE"
echo "demo: the program runs on $DATA_DIR; press ＳＴＡＲＴ. Mail servers on $ADDRESS (SMTP 25, POP3 110)."

status=0
wait "$program" || status=$?
program=""
exit "$status"
