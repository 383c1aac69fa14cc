#!/usr/bin/env bash
# Renders the editor on examples/sample.iff under a virtual X server into docs/screenshot.png:
# starts it, selects the multilingual resource and its first string as a user would, and takes
# the window's picture. Needs xvfb-run, xwininfo, xdotool and ImageMagick's import
# (scripts/install-deps.sh installs them). Uses TALLYGLASS_BIN, or builds build/app/tallyglass.
# SCREEN_SIZE (default 1024x768) sets the virtual screen; with FILL_SCREEN=1 the window is made
# as large as the screen; SCREENSHOT names the picture (default docs/screenshot.png).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--inside-x" ]; then
  bin=${TALLYGLASS_BIN:-build/app/tallyglass}
  if [ ! -x "$bin" ]; then
    ./scripts/build.sh
  fi
  mkdir -p docs
  TALLYGLASS_BIN=$(realpath "$bin") exec xvfb-run -a -s "-screen 0 ${SCREEN_SIZE:-1024x768}x24" \
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

# Without a window manager the window gets the input focus by its id.
xdotool windowfocus --sync "$window"
width=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
height=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
menu=22
# A point of the form, given in its template units (418 x 314), as window pixels.
click() {
  local x=$(( $1 * width / 418 )) y=$(( menu + $2 * (height - menu) / 314 ))
  xdotool mousemove --window "$window" "$x" "$y" click 1
  sleep 0.3
}
click 40 30                     # the first resource in the list
xdotool key --window "$window" Down Down   # two further down: "#128: Armchair - names"
sleep 0.3
click 200 97                    # its first string
click 200 66                    # the language box, then Japanese, to show a double-byte code page
xdotool key --window "$window" J Return
sleep 0.3
if [ "${FILL_SCREEN:-0}" = 1 ]; then
  xdotool windowmove "$window" 0 0 windowsize "$window" "${SCREEN_SIZE%x*}" "${SCREEN_SIZE#*x}"
  sleep 0.5
fi
xdotool mousemove --window "$window" 0 0
sleep 0.5

output=${SCREENSHOT:-docs/screenshot.png}
import -window "$window" "$output"
kill "$pid"
wait "$pid" 2> /dev/null || true
echo "wrote $output"
