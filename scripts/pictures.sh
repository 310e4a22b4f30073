#!/usr/bin/env bash
# Takes the README's pictures (docs/main-window.png, docs/mail-settings.png,
# docs/question-editor.png, docs/presentation.png, docs/presentation-final.png,
# docs/results-window.png) on a private Xvfb desktop while the demonstration
# round plays, so they can be made again whenever the windows change. Needs what the tests need
# (deps.sh --mail) and stops a demonstration that is running.
set -euo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$REPO_DIR/scripts/deps.sh" --mail
bash "$REPO_DIR/scripts/build.sh" trivorn trivorn-demo-data trivorn-phones trivorn-pictures
"$REPO_DIR/build/demo/trivorn-pictures" --source-dir "$REPO_DIR" --build-dir "$REPO_DIR/build" --out "$REPO_DIR/docs"
