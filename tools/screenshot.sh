#!/usr/bin/env bash
# Renders the editor on examples/sample.iff under a virtual X server into a picture in docs/:
# starts it, selects the multilingual resource and its first string as a user would, and takes
# the window's picture. Needs xvfb-run, xwininfo, xdotool and ImageMagick's import
# (scripts/install-deps.sh installs them). Uses TALLYGLASS_BIN, or builds build/app/tallyglass.
# SCREEN_SIZE (default 800x600) sets the virtual screen, which the window fills unless
# FILL_SCREEN=0 (it then keeps its least size); LANGUAGE_TYPED picks the language shown (default
# "Jap", Japanese); SCREENSHOT names the picture (default docs/screenshot-SCREEN_SIZE.png).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--inside-x" ]; then
  bin=${TALLYGLASS_BIN:-build/app/tallyglass}
  if [ ! -x "$bin" ]; then
    ./scripts/build.sh
  fi
  mkdir -p docs
  TALLYGLASS_BIN=$(realpath "$bin") exec xvfb-run -a -s "-screen 0 ${SCREEN_SIZE:-800x600}x24" \
    "$0" --inside-x
fi

# A profile of its own, so that no recent files of the user show.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config "$TALLYGLASS_BIN" examples/sample.iff &
pid=$!

window=
for _ in $(seq 1 100); do
  window=$(xwininfo -root -tree | awk '/"sample.iff - Tallyglass"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "screenshot: the editor's window did not appear" >&2
  kill "$pid" 2> /dev/null || true
  exit 1
fi
sleep 0.5

# Without a window manager the window gets the input focus by its id; then keys as a user types
# them: "#128: Armchair - names", the third resource; its first string (Ctrl+Home moves without
# selecting, Down and Up select); the language box, then LANGUAGE's first letters.
xdotool windowfocus --sync "$window"
screen=${SCREEN_SIZE:-800x600}
if [ "${FILL_SCREEN:-1}" = 1 ]; then
  xdotool windowmove "$window" 0 0 windowsize "$window" "${screen%x*}" "${screen#*x}"
fi
xdotool key --delay 50 alt+r Home Down Down alt+s ctrl+Home Down Up alt+l
xdotool type --delay 50 "${LANGUAGE_TYPED:-Jap}"
xdotool key --delay 50 alt+t ctrl+End
xdotool mousemove --window "$window" 0 0
# The keys are handled in order; what is drawn after them needs a moment more.
sleep 1

output=${SCREENSHOT:-docs/screenshot-$screen.png}
import -window "$window" "$output"
kill "$pid"
wait "$pid" 2> /dev/null || true
echo "wrote $output"
