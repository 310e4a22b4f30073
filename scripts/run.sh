#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. Its data files
# are kept in the executable's own folder (build/src/).
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Through bash, as the README does: a checkout that lost the executable bits
# (copied from an archive or a shared drive) must run just the same.
bash "$REPO_DIR/scripts/deps.sh"
bash "$REPO_DIR/scripts/build.sh" trivorn
exec "$REPO_DIR/build/src/trivorn"
