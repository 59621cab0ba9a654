#!/usr/bin/env bash
# The Windows command line must write exactly the bytes the Linux one writes.
# Writes the generated cases (parity_cases) and the demo song (make_demo),
# converts each case with both programs in two copies of the cases, and
# compares everything they leave behind: the songs, their VGM renders, the
# info JSON, the messages (LF line ends on both) and the exit codes.
#
#   parity.sh LINUX_CLI WINDOWS_CLI PARITY_CASES MAKE_DEMO WORK_FOLDER [EMULATOR...]
set -euo pipefail
linux_cli="$1" windows_cli="$2" parity_cases="$3" make_demo="$4" work="$5"
shift 5
emulator=("$@")
# Arguments and file names pass between wine and Linux in the locale's
# encoding; the non-ASCII names need UTF-8.
export LC_ALL=C.UTF-8

rm -rf "$work"
mkdir -p "$work/linux"
"$parity_cases" "$work/linux" >/dev/null
"$make_demo" "$work/linux/demo" >/dev/null
mv "$work/linux/demo/demo.json" "$work/linux/demo/setup.json"
cp -a "$work/linux" "$work/windows"

run_case() {  # FOLDER CLI...
  local folder="$1"
  shift
  local module
  module="$(cd "$folder" && ls -- *.xm)"
  (cd "$folder" && { "$@" info "$module" >info.out 2>info.err; echo $? >info.code; } || true)
  (cd "$folder" && { "$@" convert "$module" --setup setup.json --seed 7 >convert.out 2>convert.err;
                     echo $? >convert.code; } || true)
  # The player and the VGM writer: the module converted in memory, and the
  # song binary the conversion wrote.
  (cd "$folder" && { "$@" render "$module" -o xm.vgm --setup setup.json --seed 7 >render-xm.out 2>render-xm.err;
                     echo $? >render-xm.code; } || true)
  if [ -f "$folder/${module%.xm}.bin" ]; then
    (cd "$folder" && { "$@" render "${module%.xm}.bin" -o bin.vgm >render-bin.out 2>render-bin.err;
                       echo $? >render-bin.code; } || true)
  fi
}

cases=0
for folder in "$work/linux"/*/; do
  name="$(basename "$folder")"
  run_case "$work/linux/$name" "$linux_cli"
  run_case "$work/windows/$name" "${emulator[@]}" "$windows_cli"
  cases=$((cases + 1))
done

converted="$(cat "$work/linux"/*/convert.code | grep -cx 0 || true)"
rendered="$(cat "$work/linux"/*/render-*.code | grep -cx 0 || true)"
if ! diff -r "$work/linux" "$work/windows" >"$work/differences.txt"; then
  echo "Windows and Linux differ:"
  head -n 60 "$work/differences.txt"
  exit 1
fi
if ((converted * 2 < cases)); then
  echo "Only $converted of $cases cases converted: the cases no longer test the conversion"
  exit 1
fi
echo "$cases cases, $converted converted, $rendered renders: every byte the same on Windows and Linux"
