#!/usr/bin/env bash
# Installs what is missing, builds and runs the program on FILE (the bundled sample by default).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
file=${1:-examples/sample.iff}
exec "$BUILD_DIR/cli/tallyglass-cli" list "$file"
