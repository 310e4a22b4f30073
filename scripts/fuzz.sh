#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# bounded time on its seed corpus (tests/fuzz/corpus/<target>/). A crash, a
# leak or a time-out fails the run; libFuzzer leaves the input that did it
# in build-fuzz/findings/, to be fixed and then added to the corpus as a
# regression case.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]    (default 60)
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FUZZ_DIR=$REPO_DIR/build-fuzz
seconds=${1:-60}
command -v clang++ >/dev/null || { echo "fuzz: clang++ missing (scripts/deps.sh --mail installs it)" >&2; exit 1; }

CC=clang CXX=clang++ cmake -S "$REPO_DIR" -B "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DTRV_FUZZ=ON >/dev/null
cmake --build "$FUZZ_DIR" -j2 --target fuzz_all

mkdir -p "$FUZZ_DIR/findings"
status=0
for target in fuzz_records fuzz_codecs fuzz_received_mail fuzz_reply_readers; do
    # New inputs go to a scratch copy; the repository's corpus changes only
    # by hand, with a regression case.
    work=$FUZZ_DIR/corpus/$target
    mkdir -p "$work"
    cp -r "$REPO_DIR/tests/fuzz/corpus/$target/." "$work/"
    echo "fuzz: $target for ${seconds}s"
    if ! "$FUZZ_DIR/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$FUZZ_DIR/findings/$target-" "$work" \
        >"$FUZZ_DIR/$target.log" 2>&1; then
        echo "fuzz: $target FAILED (see $FUZZ_DIR/$target.log and $FUZZ_DIR/findings/)" >&2
        tail -n 40 "$FUZZ_DIR/$target.log" >&2
        status=1
    fi
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$FUZZ_DIR/$target.log" | sed "s/^/fuzz: $target /"
done
exit "$status"
