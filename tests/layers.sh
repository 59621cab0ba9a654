#!/usr/bin/env bash
# The layers, checked from the includes alone. Every #include "folder/..." in
# the program must name the file's own folder or one it stands on:
#   base < settings, xm, player < params, voices < engine < song   (window-free)
#   ui/common < ui/<window group> < app                              (windows)
# cli stands on the window-free folders. A window group never includes
# another's headers, and nothing window-free includes a window.
#   layers.sh SOURCE_ROOT
set -euo pipefail
cd "$1"
set -f  # "ui/*" below is a pattern for [[ ]], not a list of files
windowfree="base settings xm player params voices engine song"
allowed() {
  case "$1" in
    base) echo "base" ;;
    settings | xm | player) echo "base $1" ;;
    params | voices) echo "base xm $1" ;;
    engine) echo "base xm params voices engine" ;;
    song) echo "base xm params voices engine song" ;;
    ui/common) echo "$windowfree ui/common" ;;
    ui/*) echo "$windowfree ui/common $1" ;;
    app) echo "$windowfree ui/* app" ;;
    cli) echo "$windowfree cli" ;;
  esac
}
folder_of() {  # ui/params/more_window.hpp -> ui/params; song/x.hpp -> song
  case "$1" in
    ui/*) echo "${1%/*}" ;;
    *) echo "${1%%/*}" ;;
  esac
}
wrong=0
while IFS= read -r file; do
  from="$(folder_of "$file")"
  # shellcheck disable=SC2046
  while IFS= read -r included; do
    to="$(folder_of "$included")"
    ok=0
    for a in $(allowed "$from"); do
      # shellcheck disable=SC2053
      [[ "$to" == $a ]] && ok=1
    done
    if ((!ok)); then
      echo "$file includes $included: $from may not include $to"
      wrong=1
    fi
  done < <(sed -nE 's/^#include "([a-z_]+\/[^"]+)".*/\1/p' "$file")
done < <(find base settings xm player params voices engine song ui app cli -name '*.[ch]pp' | sort)
((wrong)) && exit 1
echo "Every include keeps to the layers."
