#!/usr/bin/env bash
# The shipped editor, run as a user runs it: the built executable under a virtual X server,
# driven only by keys (mnemonics, menus, shortcuts) through xdotool. It opens a sample file, types
# into a string, exports a PO catalog with File > Export Translation, changes every translation
# with gettext's msgfilter, imports it with File > Import Translation, saves, and checks the saved
# file with the command-line tool.
#
# Usage: editor_end_to_end.sh TALLYGLASS TALLYGLASS_CLI MSGFILTER SAMPLE_IFF
# Not yet registered with ctest: under Xvfb the typed text does not reach the text edit yet.
# Exits 77 (skipped) when Xvfb, xdotool or msgfilter is missing.
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
  if [ -n "${window:-}" ] && command -v import > /dev/null; then
    import -window root "$work/failure.png" 2> /dev/null && cp "$work/failure.png" /tmp/editor_end_to_end_failure.png &&
      echo "screen at the failure: /tmp/editor_end_to_end_failure.png" >&2
  fi
  exit 1
}

# A display of its own, whichever number is free.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 300); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n 1 "$work/display")
# The editor's settings in a folder of its own, so that no recent files or window state of the
# user take part.
export XDG_CONFIG_HOME=$work/config
export HOME=$work
export QT_QPA_PLATFORM=xcb
# The X libraries keep allocations until exit; the leak checks of the sanitized build are the
# other tests' to make.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

cp "$sample" "$work/sample.iff"
cd "$work"

# The id of a visible window whose name is exactly $1 and that is not one of the ids in $2,
# waited for up to a minute (the machine may be busy, the build sanitized).
wait_window() {
  local name=$1 other=${2:-} id
  for _ in $(seq 1 600); do
    for id in $(xdotool search --onlyvisible --name "^$name\$" 2> /dev/null); do
      if [[ " $other " != *" $id "* ]]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}
# Waits up to a minute until no visible window has the name.
wait_gone() {
  for _ in $(seq 1 600); do
    xdotool search --onlyvisible --name "^$1\$" > /dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
# Without a window manager a window gets the input focus by its id.
focus() {
  xdotool windowfocus --sync "$1" 2> /dev/null || xdotool windowfocus "$1"
  sleep 0.3
}
keys() {
  xdotool key --delay 80 "$@"
  sleep 0.5
}

"$app" sample.iff > "$work/app.log" 2>&1 &
app_pid=$!
window=$(wait_window "sample.iff - Tallyglass") || fail "the editor's window did not appear: $(cat "$work/app.log")"
focus "$window"

# "#128: Armchair - names" (multilingual), chosen by typing its number; its first string; the
# caret at the end of its US English text, and a word typed.
keys alt+r 1 2 8
keys alt+s ctrl+Home
keys alt+t ctrl+End
xdotool type --delay 80 " deluxe"
sleep 0.5
xdotool search --onlyvisible --name "^\*sample.iff - Tallyglass\$" > /dev/null ||
  fail "typing did not mark the document changed"

# File > Export Translation...: the languages (French by default), then where the catalog goes.
keys alt+f e
dialog=$(wait_window "Export Translation") || fail "File > Export Translation did not open its dialog"
focus "$dialog"
keys Return
files=$(wait_window "Export Translation" "$dialog") || fail "the export did not ask where to write"
focus "$files"
keys ctrl+a
xdotool type --delay 40 "$work/out.po"
keys Return
for _ in $(seq 1 600); do
  [ -s out.po ] && break
  sleep 0.1
done
[ -s out.po ] || fail "the export wrote no catalog"
wait_gone "Export Translation" || fail "the export's dialogs stayed open"
grep -q 'deluxe' out.po || fail "the catalog does not hold the text typed before the export"

# Every translation changed by gettext's own tool.
"$msgfilter" --keep-header -i out.po -o in.po sed -e 's/^/FR-/'
translated=$(grep -c '^msgstr "FR-' in.po || true)
[ "$translated" -gt 0 ] || fail "msgfilter changed no translation"

# File > Import Translation...: the catalog, the languages, then the summary's question.
focus "$window"
keys alt+f i
files=$(wait_window "Import Translation") || fail "File > Import Translation did not ask for a catalog"
focus "$files"
keys ctrl+a
xdotool type --delay 40 "$work/in.po"
keys Return
dialog=$(wait_window "Import Translation" "$files") || fail "the import did not show its dialog"
focus "$dialog"
keys Return
question=$(wait_window "Import Translation" "$files $dialog") || fail "the import did not ask to apply"
focus "$question"
keys Return
wait_gone "Import Translation" || fail "the import's dialogs stayed open"

# Save, then quit.
focus "$window"
keys ctrl+s
wait_window "sample.iff - Tallyglass" > /dev/null || fail "the save left the document marked changed"
keys ctrl+q
for _ in $(seq 1 600); do
  kill -0 "$app_pid" 2> /dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2> /dev/null; then
  fail "File > Exit did not end the editor"
fi
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the editor exited with $status: $(cat "$work/app.log")"

# The saved bytes, read by the command-line tool: the typed text, and the French texts of the
# catalog.
"$cli" strings sample.iff --id 128 --json > saved.json || fail "the saved file does not read back"
grep -q '"text": "[^"]*deluxe"' saved.json || fail "the typed text is not in the saved file"
stored=$(grep -c '"text": "FR-' saved.json || true)
[ "$stored" -eq "$translated" ] ||
  fail "the saved file holds $stored translations from the catalog, the catalog $translated"
echo "PASS: typed, exported, filtered, imported and saved $translated translations"
