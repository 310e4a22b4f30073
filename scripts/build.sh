#!/usr/bin/env bash
# Configures build/ in the checkout and builds the given targets, or
# everything. Two jobs at most: the machine is shared. --keep-going builds
# every target that can be built even when one fails, named ones too.
# TRV_BUILD_DIR names another build folder, TRV_CMAKE_ARGS adds to its
# configuration (the sanitizer build: build-sanitize, -DTRV_SANITIZE=ON).
# TRV_WERROR=ON makes every warning an error (CI); any other run turns that
# off again, so a folder CI once configured does not keep it.
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${TRV_BUILD_DIR:-$REPO_DIR/build}
keep_going=()
if [ "${1:-}" = --keep-going ]; then keep_going=(-- -k); shift; fi
# A build folder that came along when the checkout was copied or moved was
# configured for the old place, and CMake refuses to reuse it. Its cache and
# per-target state (objects included) are dropped; the data files the program
# keeps next to itself stay.
cache=$BUILD_DIR/CMakeCache.txt
if [ -f "$cache" ]; then
    cached_source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
    cached_build=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$cache")
    if ! [ "$cached_source" -ef "$REPO_DIR" ] || ! [ "$cached_build" -ef "$BUILD_DIR" ]; then
        echo "build: $BUILD_DIR was configured for $cached_source; configuring it afresh" >&2
        find "$BUILD_DIR" -name CMakeFiles -type d -prune -exec rm -rf {} +
        rm -f "$cache"
    fi
fi
# Through ccache where it is installed. CMake takes the launcher from the
# environment when it configures a folder for the first time. The paths below
# the checkout are hashed as relative ones, so a fresh clone elsewhere finds
# what an earlier one compiled.
# Qt Test names the test's own folders in two definitions, for finding test
# data (QFINDTESTDATA), which no test here does; they are left out of the
# hash, or no test would ever be found again from another clone.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$REPO_DIR CCACHE_NOHASHDIR=true
    export CCACHE_IGNOREOPTIONS="-DQT_TESTCASE_BUILDDIR=* -DQT_TESTCASE_SOURCEDIR=*"
fi
# shellcheck disable=SC2086
cmake -S "$REPO_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRV_WERROR="${TRV_WERROR:-OFF}" \
    ${TRV_CMAKE_ARGS:-} >/dev/null
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --build "$BUILD_DIR" -j2 "${targets[@]}" "${keep_going[@]}"
