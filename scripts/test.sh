#!/usr/bin/env bash
# Installs what is missing, builds everything, starts the private mail servers,
# runs the whole test suite headless and stops the servers again, whatever
# the outcome. Exits non-zero if the build or any test failed. Extra
# arguments go to ctest (e.g. -L unit, -R tst_real_).
#
#   scripts/test.sh           one build (build/), the suite once: every label
#                             but fuzz
#   scripts/test.sh --full    what CI runs: the same, built with every
#                             warning an error, with the fuzz targets
#                             (label fuzz: scripts/fuzz.sh, a minute each),
#                             then the suite again in build-sanitize/, built
#                             with AddressSanitizer and
#                             UndefinedBehaviorSanitizer, where a memory error
#                             or undefined behaviour fails the test that made
#                             it; last the Debian package is made, installed,
#                             started and removed (scripts/package-check.sh)
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$REPO_DIR/build
SANITIZE_DIR=$REPO_DIR/build-sanitize
full=no
if [ "${1:-}" = --full ]; then full=yes; shift; fi
# Through bash, as the README does: a checkout that lost the executable bits
# (copied from an archive or a shared drive) must run just the same.
bash "$REPO_DIR/scripts/deps.sh" --mail

# A target that fails to build must not hide the results of all the others:
# keep going, run what was built, and fail at the end.
build_status=0
# CI (--full) lets no warning through in the program and its tests; the
# package check builds build/ again the same way, so nothing is rebuilt
# there. The sanitizer build is left out: its instrumentation makes GCC's
# flow analysis warn about code that has nothing wrong with it.
TRV_WERROR=OFF
[ "$full" = yes ] && TRV_WERROR=ON
export TRV_WERROR
bash "$REPO_DIR/scripts/build.sh" --keep-going || build_status=$?
if [ "$full" = yes ]; then
    TRV_WERROR=OFF TRV_BUILD_DIR=$SANITIZE_DIR TRV_CMAKE_ARGS=-DTRV_SANITIZE=ON \
        bash "$REPO_DIR/scripts/build.sh" --keep-going || build_status=$?
fi

trap 'bash "$REPO_DIR/scripts/mailservers.sh" stop "$BUILD_DIR"' EXIT
trap 'exit 130' INT TERM
bash "$REPO_DIR/scripts/mailservers.sh" start "$BUILD_DIR"
# The tests are told where these servers live rather than relying on what
# /tmp says about whichever instance ran last.
TRV_MAILSERVERS_DIR=$(bash "$REPO_DIR/scripts/mailservers.sh" dir "$BUILD_DIR")
export TRV_MAILSERVERS_DIR

export QT_QPA_PLATFORM=offscreen
test_status=0
labels=(-LE fuzz)
[ "$full" = yes ] && labels=()
(cd "$BUILD_DIR" && ctest --output-on-failure --timeout 600 "${labels[@]}" "$@") || test_status=$?
if [ "$full" = yes ]; then
    echo "test: the suite again, in the sanitizer build ($SANITIZE_DIR)"
    # Leaks are looked for too, with nothing excused. (strict_string_checks
    # stays off: it flags libxkbcommon handing strndup() an unterminated
    # buffer inside Qt's start on X, which is no fault of ours.)
    export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    (cd "$SANITIZE_DIR" && ctest --output-on-failure --timeout 900 -LE fuzz "$@") || test_status=$?
    bash "$REPO_DIR/scripts/package-check.sh" || test_status=$?
fi

if [ "$build_status" -ne 0 ]; then
    echo "test: the build failed (see above); tests that could not be built count as failed" >&2
    exit "$build_status"
fi
exit "$test_status"
