#!/usr/bin/env bash
# Configures build/ in the checkout and builds the given targets, or
# everything. Two jobs at most: the machine is shared. --keep-going builds
# every target that can be built even when one fails.
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$REPO_DIR/build
keep_going=()
if [ "${1:-}" = --keep-going ]; then keep_going=(-- -k); shift; fi
cmake -S "$REPO_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
    for t in "$@"; do cmake --build "$BUILD_DIR" --target "$t" -j2; done
else
    cmake --build "$BUILD_DIR" -j2 "${keep_going[@]}"
fi
