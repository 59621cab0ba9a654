#!/usr/bin/env bash
# The desktop program started as a user starts it: ferrocanto.exe under wine
# on the virtual screen ($DISPLAY, 1280 x 1024), given the demo song as "Open
# with" gives it, in the folder that holds the song. The setup saved beside
# it is opened when the load offers it, the song converted with the "Convert song" key
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
screen="$(xdotool getdisplaygeometry 2>/dev/null)" || { echo "The virtual screen $DISPLAY does not answer"; exit 1; }
echo "Screen $DISPLAY: ${screen/ / x }"

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
# Waits up to $2 seconds for a condition, and no longer than it takes or
# the program runs.
wait_for() {
  local condition="$1" seconds="$2"
  for _ in $(seq $((seconds * 10))); do
    eval "$condition" && return 0
    kill -0 "$program" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# A window of the program's own (wine names the class after the .exe).
window_named() {
  local names
  names="$(xdotool search --onlyvisible --class '^ferrocanto\.exe$' getwindowname %@ 2>/dev/null)" || return 1
  grep -q -- "$1" <<<"$names"
}
# Without a window manager the keys go to the window under the pointer; any
# window of wine's hands them to the program's focus. A second lets a window
# that has just shown or closed give the focus on.
keys() {
  sleep 1
  xdotool key --delay 100 "$@"
}

(cd "$songs" && exec "${wine[@]}" "$exe" demo.xm) >"$out/program.log" 2>&1 &
program=$!

wait_for 'window_named "XM to SMPS"' 120 || fail "The main window did not show"
# On the menu bar, right of its menus.
xdotool mousemove 640 30
# demo.json lies beside demo.xm: the load offers it, and Yes is the default.
wait_for 'window_named "^Ferrocanto$"' 60 || fail "The setup beside the demo was not offered"
keys Return
wait_for '! window_named "^Ferrocanto$"' 60 || fail "The offer did not close"
keys alt+s
wait_for '[ -s "$songs/demo.bin" ] && window_named "^Ferrocanto$"' 60 || fail "The song was not converted"
keys Return
wait_for '! window_named "^Ferrocanto$"' 60 || fail "The message did not close"
# Time for the windows under the message to draw themselves again.
sleep 2
import -display "$DISPLAY" -window root "$out/desktop-start.png"
keys alt+x
wait_for '! kill -0 "$program" 2>/dev/null' 60 || fail "The program did not quit"
wait "$program" || fail "The program ended with $?"

(cd "$out/cli" && "${wine[@]}" "$cli" convert demo.xm --setup demo.json >/dev/null)
cmp "$songs/demo.bin" "$out/cli/demo.bin" || fail "The desktop program's song differs from the command line's"
# The music folder holds only what was asked for: the scratch files are the cache's.
! compgen -G "$songs/*.tmp" >/dev/null || fail "Scratch files were left beside the song"
echo "Converted by the desktop program; screenshot $out/desktop-start.png"
