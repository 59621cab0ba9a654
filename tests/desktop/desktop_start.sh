#!/usr/bin/env bash
# The desktop program started as a user starts it: ferrocanto.exe under wine
# on the virtual screen ($DISPLAY, 1280 x 1024), in a folder that holds the
# demo song. The demo is double-clicked in the explorer, its setup opened
# through the File menu, the song converted with the "Convert song" key
# (Alt+S); the screen is kept as OUT/desktop-start.png for a person to look
# at, and the program quits through its Exit key (Alt+X). Passes when the
# program wrote the bytes the Windows command line writes for the same setup
# and ended by itself.
#   desktop_start.sh FERROCANTO.EXE FERROCANTO-CLI.EXE EXAMPLES OUT WINE...
set -euo pipefail
exe="$1" cli="$2" examples="$3" out="$4"
shift 4
wine=("$@")
[ -n "${DISPLAY:-}" ] || { echo "No virtual screen (DISPLAY)"; exit 1; }

rm -rf "$out"
songs="$out/Démo songs"
mkdir -p "$songs" "$out/cli"
cp "$examples/demo.xm" "$examples/demo-voices.ymx" "$examples/demo.json" "$songs/"
cp "$examples/demo.xm" "$examples/demo-voices.ymx" "$examples/demo.json" "$out/cli/"

fail() {
  echo "$1"
  import -display "$DISPLAY" -window root "$out/desktop-start.png" 2>/dev/null || true
  kill "$program" 2>/dev/null || true
  exit 1
}
shot() { import -display "$DISPLAY" -window root "$out/$1.png"; }
# Waits up to $2 seconds for a condition.
wait_for() {
  local condition="$1" seconds="$2"
  for _ in $(seq $((seconds * 5))); do
    eval "$condition" && return 0
    sleep 0.2
  done
  return 1
}
window_named() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
keys() { xdotool key --delay 150 "$@"; sleep 1; }

(cd "$songs" && exec "${wine[@]}" "$exe") >"$out/program.log" 2>&1 &
program=$!

wait_for 'window_named "^Ferrocanto"' 120 || fail "The main window did not show"
sleep 3
# The explorer opens in the start-up folder; its file list holds the demo.
xdotool mousemove "$FILE_X" "$FILE_Y" click --repeat 2 --delay 100 1
wait_for '[ -e "$songs/C0.tmp" ] || ls "$songs" | grep -q "\.tmp$"' 30 || fail "The demo did not load"
sleep 2
keys alt+f Return
wait_for 'window_named "^Open setup"' 30 || fail "Open setup did not ask for a file"
sleep 1
xdotool type --delay 50 "demo.json"
keys Return
sleep 2
keys alt+s
wait_for '[ -s "$songs/demo.bin" ]' 30 || fail "The song was not converted"
sleep 2
shot desktop-start
keys Return
keys alt+x
wait_for '! kill -0 "$program" 2>/dev/null' 30 || fail "The program did not quit"
wait "$program" || fail "The program ended with $?"

(cd "$out/cli" && "${wine[@]}" "$cli" convert demo.xm --setup demo.json >/dev/null)
cmp "$songs/demo.bin" "$out/cli/demo.bin" || fail "The desktop program's song differs from the command line's"
echo "Converted by the desktop program; screenshot $out/desktop-start.png"
