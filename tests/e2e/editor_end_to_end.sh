#!/usr/bin/env bash
# The shipped editor, run as a user runs it: the built executable under a virtual X server,
# driven only by keys (mnemonics, menus, shortcuts) through xdotool. It opens a sample file, types
# into a string, exports a PO catalog with File > Export Translation, changes every translation
# with gettext's msgfilter, imports it with File > Import Translation, saves, and checks the saved
# file with the command-line tool.
#
# Usage: editor_end_to_end.sh TALLYGLASS TALLYGLASS_CLI MSGFILTER SAMPLE_IFF
# Exits 77 (skipped) when Xvfb, xdotool or msgfilter is missing, 1 on a failure.
#
# Every step waits for what it needs (a window by its name, a title, a file) up to a deadline,
# never for a fixed time: the machine may be busy and the build sanitized. Keys go through the X
# server to the window with the input focus, in order, so a key sent after another is handled
# after it.
set -euo pipefail

app=$1
cli=$2
msgfilter=${3:-}
sample=$4

for tool in Xvfb xdotool; do
  if ! command -v "$tool" > /dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if [ -z "$msgfilter" ] || [ ! -x "$msgfilter" ]; then
  echo "SKIP: gettext's msgfilter is not installed"
  exit 77
fi

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2> /dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -n "$app_pid" ] && ! kill -0 "$app_pid" 2> /dev/null; then
    local status=0
    wait "$app_pid" || status=$?
    echo "the editor had ended with status $status" >&2
    app_pid=
  fi
  [ -s "$work/app.log" ] && sed 's/^/editor: /' "$work/app.log" >&2
  [ -s "$work/xvfb.log" ] && sed 's/^/Xvfb: /' "$work/xvfb.log" >&2
  if [ -n "${window:-}" ] && command -v import > /dev/null; then
    import -window root "$work/failure.png" 2> /dev/null && cp "$work/failure.png" /tmp/editor_end_to_end_failure.png &&
      echo "screen at the failure: /tmp/editor_end_to_end_failure.png" >&2
  fi
  exit 1
}

# How long one step may take (seconds): a sanitized build on a busy machine is slow.
step_limit=${E2E_STEP_SECONDS:-90}

# Runs "$@" until it succeeds; false when the step's deadline passes or the editor has ended
# without it.
wait_for() {
  local deadline=$((SECONDS + step_limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    # An editor that has ended shows nothing more.
    [ -z "$app_pid" ] || kill -0 "$app_pid" 2> /dev/null || "$@" || return 1
    sleep 0.1
  done
}

# A display of its own, whichever number is free.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfb_pid=$!
wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n 1 "$work/display")
# The editor's settings in a folder of its own, so that no recent files or window state of the
# user take part.
export XDG_CONFIG_HOME=$work/config
export HOME=$work
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
# No session bus: without this, the bus library may start one through the X server (autolaunch),
# a process of its own whose timing the test does not control.
export DBUS_SESSION_BUS_ADDRESS=disabled:

cp "$sample" "$work/sample.iff"
cd "$work"

# Prints the id of a visible window named exactly $1 that is none of the ids in $2.
find_window() {
  local name=$1 other=${2:-} id
  for id in $(xdotool search --onlyvisible --name "^$name\$" 2> /dev/null); do
    if [[ " $other " != *" $id "* ]]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
wait_window() {
  local id
  id=$(wait_for find_window "$@") || return 1
  echo "$id"
}
no_window() {
  ! xdotool search --onlyvisible --name "^$1\$" > /dev/null 2>&1
}
# Without a window manager a window gets the input focus by its id; the keys that follow go to it.
focus() {
  timeout "$step_limit" xdotool windowfocus --sync "$1"
}
keys() {
  xdotool key --delay 50 "$@"
}
typed() {
  xdotool type --delay 40 "$1"
}
app_ended() {
  ! kill -0 "$app_pid" 2> /dev/null
}

"$app" sample.iff > "$work/app.log" 2>&1 &
app_pid=$!
if ! window=$(wait_window "sample.iff - Tallyglass") && app_ended; then
  # Seen once in many sanitized runs on a loaded machine: the editor ended before its window
  # showed. Its output is kept in the log, and it gets one more start.
  status=0
  wait "$app_pid" || status=$?
  echo "the editor ended with status $status before its window appeared; its output:" >&2
  sed 's/^/editor: /' "$work/app.log" >&2
  "$app" sample.iff > "$work/app.log" 2>&1 &
  app_pid=$!
  window=$(wait_window "sample.iff - Tallyglass") || window=
fi
[ -n "$window" ] || fail "the editor's window did not appear"
focus "$window"

# "#128: Armchair - names" (multilingual), the third resource in list order; its first string
# (Ctrl+Home alone moves the current row without selecting it; Down and Up select); the caret at
# the end of its US English text, and a word typed.
keys alt+r Home Down Down
keys alt+s ctrl+Home Down Up
keys alt+t ctrl+End
typed " deluxe"
wait_window "\*sample.iff - Tallyglass" > /dev/null || fail "typing did not mark the document changed"

# File > Export Translation...: what to translate (the open file), the languages (French by
# default), then where the catalog goes.
keys alt+f e
dialog=$(wait_window "Export Translation") || fail "File > Export Translation did not open its dialog"
focus "$dialog"
keys Return
files=$(wait_window "Export Translation" "$dialog") || fail "the export did not ask where to write"
focus "$files"
keys ctrl+a
typed "$work/out.po"
keys Return
wait_for test -s out.po || fail "the export wrote no catalog"
wait_for no_window "Export Translation" || fail "the export's dialogs stayed open"
grep -q 'deluxe' out.po || fail "the catalog does not hold the text typed before the export"

# Every translation changed by gettext's own tool.
"$msgfilter" --keep-header -i out.po -o in.po sed -e 's/^/FR-/'
translated=$(grep -c '^msgstr "FR-' in.po || true)
[ "$translated" -gt 0 ] || fail "msgfilter changed no translation"

# File > Import Translation...: the catalog, the languages, then Yes to the summary's question.
focus "$window"
keys alt+f i
files=$(wait_window "Import Translation") || fail "File > Import Translation did not ask for a catalog"
focus "$files"
keys ctrl+a
typed "$work/in.po"
keys Return
dialog=$(wait_window "Import Translation" "$files") || fail "the import did not show its dialog"
focus "$dialog"
keys Return
question=$(wait_window "Import Translation" "$files $dialog") || fail "the import did not ask to apply"
focus "$question"
keys alt+y
wait_for no_window "Import Translation" || fail "the import's dialogs stayed open"

# Save, then quit.
focus "$window"
keys ctrl+s
wait_window "sample.iff - Tallyglass" > /dev/null || fail "the save left the document marked changed"
keys ctrl+q
wait_for app_ended || fail "File > Exit did not end the editor"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the editor exited with $status"

# The saved bytes, read by the command-line tool: the typed text, and the French texts of the
# catalog.
"$cli" strings sample.iff --id 128 --json > saved.json || fail "the saved file does not read back"
grep -q '"text": "[^"]*deluxe"' saved.json || fail "the typed text is not in the saved file"
stored=$(grep -c '"text": "FR-' saved.json || true)
[ "$stored" -eq "$translated" ] ||
  fail "the saved file holds $stored translations from the catalog, the catalog $translated"
echo "PASS: typed, exported, filtered, imported and saved $translated translations"
