#!/usr/bin/env bash
# Measures the program against its peers in one run and prints one Markdown
# table: mail through the suite's Postfix and Dovecot (against Python's
# smtplib, poplib and email), replies of today's shapes read from memory
# (against the email package), the text codecs on 16 MB (against iconv and
# nkf), the waits of a round at real speed, the memory of a round of 250
# players, the longest stall of the event loop while mail goes out, and the
# mail again with the servers 10, 50 and 150 ms away (through a relay that
# delays every byte; bench_compare_distant).
# Takes about three minutes (the countdown alone is a minute of wall time),
# and the distant rows as long again as their round trips make it: each mail
# of the peer's waits four round trips, some 20 minutes at 150 ms.
#
#   bash bench/compare.sh              the table, then the benchmarks' own lines
#
# Starts the suite's mail servers if they are not answering (and stops them
# again afterwards); the mailboxes are emptied, so nothing else may use them
# meanwhile. Each row's ratio is the program's figure over the peer's: for
# times and memory lower is better, for speeds (MB/s) higher is better.
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${TRV_BUILD_DIR:-$REPO_DIR/build}
benches="bench_compare_mail bench_compare_replies bench_compare_codec bench_compare_countdown bench_scale_round
         bench_compare_distant"

bash "$REPO_DIR/scripts/build.sh" $benches >/dev/null

started=0
if ! bash "$REPO_DIR/scripts/mailservers.sh" status "$BUILD_DIR" | grep -q '^pop3 .*+OK'; then
    bash "$REPO_DIR/scripts/mailservers.sh" start "$BUILD_DIR" >/dev/null
    started=1
fi
# The instance answering may have been started from another build folder.
TRV_MAILSERVERS_DIR=$(bash "$REPO_DIR/scripts/mailservers.sh" status "$BUILD_DIR" | sed -n 's/^active directory: //p')
export TRV_MAILSERVERS_DIR
stop_servers() {
    if [ "$started" = 1 ]; then bash "$REPO_DIR/scripts/mailservers.sh" stop "$BUILD_DIR" >/dev/null; fi
}
trap stop_servers EXIT
export QT_QPA_PLATFORM=offscreen

log=$(mktemp)
status=0
for b in $benches; do
    echo "== $b" >>"$log"
    if ! "$BUILD_DIR/bench/$b" >>"$log" 2>&1; then
        echo "compare: $b failed (its output follows the table)" >&2
        status=1
    fi
done

echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(uname -m)), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')."
echo
echo "| measure | program | peer | ratio | target |"
echo "|---|---|---|---|---|"
grep '^| ' "$log" || true
echo
grep -v '^| \|propagateSizeHints\|XDG_RUNTIME_DIR' "$log"
rm -f "$log"
exit "$status"
