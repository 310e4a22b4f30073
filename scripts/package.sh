#!/usr/bin/env bash
# Makes the Debian package of the program (dist/Debian.cmake says what is in
# it): builds the program in build/ (or TRV_BUILD_DIR) where needed, runs
# cpack there and prints the path of the .deb, alone on stdout. The package
# is left in the build folder's package/.
# Needs dpkg-dev (dpkg-shlibdeps works out the libraries it depends on).
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${TRV_BUILD_DIR:-$REPO_DIR/build}
OUT_DIR=$BUILD_DIR/package
command -v dpkg-shlibdeps >/dev/null || { echo "package: dpkg-shlibdeps is missing (bash scripts/deps.sh --mail)" >&2; exit 1; }

# What the build and cpack say goes to stderr.
bash "$REPO_DIR/scripts/build.sh" trivorn >&2
# Only this run's package is left there, so it is the one .deb found after.
rm -f "$OUT_DIR"/*.deb
(cd "$BUILD_DIR" && cpack -G DEB -B "$OUT_DIR") >&2
debs=("$OUT_DIR"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package: cpack left no single .deb in $OUT_DIR" >&2; exit 1; }
echo "${debs[0]}"
