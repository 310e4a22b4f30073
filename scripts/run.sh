#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program.
#
#   scripts/run.sh [--reset] [--speed N]   the demonstration round (scripts/demo.sh)
#   scripts/run.sh --folder DIR            the program alone, on your own data
#                                          folder and your own mail servers
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Through bash, as the README does: a checkout that lost the executable bits
# (copied from an archive or a shared drive) must run just the same.
if [ "${1:-}" = --folder ]; then
    folder=${2:?--folder needs a folder}
    bash "$REPO_DIR/scripts/deps.sh"
    bash "$REPO_DIR/scripts/build.sh" trivorn
    mkdir -p "$folder"
    exec "$REPO_DIR/build/src/trivorn" --folder "$folder"
fi
bash "$REPO_DIR/scripts/deps.sh" --demo
bash "$REPO_DIR/scripts/build.sh" trivorn trivorn-demo-data trivorn-phones
exec bash "$REPO_DIR/scripts/demo.sh" "$@"
