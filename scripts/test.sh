#!/usr/bin/env bash
# Installs what is missing, builds everything, starts the private mail servers,
# runs the whole test suite headless and stops the servers again, whatever
# the outcome. Exits with the test result. Extra arguments go to ctest
# (e.g. -L unit, -R tst_real_).
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$REPO_DIR/build
"$REPO_DIR/scripts/deps.sh" --mail
"$REPO_DIR/scripts/build.sh"

trap '"$REPO_DIR/scripts/mailservers.sh" stop "$BUILD_DIR"' EXIT
trap 'exit 130' INT TERM
"$REPO_DIR/scripts/mailservers.sh" start "$BUILD_DIR"

export QT_QPA_PLATFORM=offscreen
status=0
(cd "$BUILD_DIR" && ctest --output-on-failure --timeout 600 "$@") || status=$?
exit "$status"
