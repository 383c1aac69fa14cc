#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor on FILE (the bundled sample by default).
# Without a display it prints the file's strings with the command-line tool instead.
set -euo pipefail
# A file named relative to where the script was called from.
file=
if [ $# -gt 0 ]; then
  file=$(realpath -m -- "$1")
fi
cd "$(dirname "$0")/.."
file=${file:-$PWD/examples/sample.iff}
./scripts/install-deps.sh
./scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are empty), so the editor cannot open a window." >&2
  echo "Showing the strings of $file with tallyglass-cli instead; docs/screenshot-800x600.png shows the editor." >&2
  exec "$BUILD_DIR/cli/tallyglass-cli" strings "$file"
fi
exec "$BUILD_DIR/app/tallyglass" "$file"
