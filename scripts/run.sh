#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. Its data files
# are kept in the executable's own folder (build/src/).
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$REPO_DIR/scripts/deps.sh"
"$REPO_DIR/scripts/build.sh" trivorn
exec "$REPO_DIR/build/src/trivorn"
