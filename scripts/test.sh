#!/usr/bin/env bash
# Installs what is missing, builds everything, starts the private mail servers,
# runs the whole test suite headless and stops the servers again, whatever
# the outcome. Exits non-zero if the build or any test failed. Extra
# arguments go to ctest (e.g. -L unit, -R tst_real_).
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$REPO_DIR/build
# Through bash, as the README does: a checkout that lost the executable bits
# (copied from an archive or a shared drive) must run just the same.
bash "$REPO_DIR/scripts/deps.sh" --mail

# A target that fails to build must not hide the results of all the others:
# keep going, run what was built, and fail at the end.
build_status=0
bash "$REPO_DIR/scripts/build.sh" --keep-going || build_status=$?

trap 'bash "$REPO_DIR/scripts/mailservers.sh" stop "$BUILD_DIR"' EXIT
trap 'exit 130' INT TERM
bash "$REPO_DIR/scripts/mailservers.sh" start "$BUILD_DIR"
# The tests are told where these servers live rather than relying on what
# /tmp says about whichever instance ran last.
TRV_MAILSERVERS_DIR=$(bash "$REPO_DIR/scripts/mailservers.sh" dir "$BUILD_DIR")
export TRV_MAILSERVERS_DIR

export QT_QPA_PLATFORM=offscreen
test_status=0
(cd "$BUILD_DIR" && ctest --output-on-failure --timeout 600 "$@") || test_status=$?

if [ "$build_status" -ne 0 ]; then
    echo "test: the build failed (see above); tests that could not be built count as failed" >&2
    exit "$build_status"
fi
exit "$test_status"
