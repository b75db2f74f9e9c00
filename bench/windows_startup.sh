#!/usr/bin/env bash
# The Windows build's start-up under Wine: time from starting the program to its window mapped,
# against a bare wxMSW frame of the same size under the same Wine, with a warm wineserver (the
# first start of a prefix is not counted), the median of 7 starts each; and the sizes of the
# installer, the program and lame_enc.dll. Aim: at most 1.3 times the bare frame, an installer
# under 8 MB. Needs `make windows` first (build-win/, dist/); skipped otherwise.
# On a machine that other work loads, the starts' times spread by hundreds of milliseconds; as
# root, `chrt -r 1 bench/windows_startup.sh` runs it (display, Wine and all) ahead of that work
# and gives figures within about 10 ms of each other.
#   bench/windows_startup.sh [ignored Linux build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${DR_WIN_BUILD:-$here/build-win}
installer=$(ls "$here"/dist/dravellin-recorder-*-win64-setup.exe 2>/dev/null | head -n 1 || true)
if [ ! -f "$build/stage/dravellin-recorder.exe" ] || [ -z "$installer" ] || ! command -v wine >/dev/null; then
  echo "windows_startup: skipped (no Windows build: make windows)"
  exit 0
fi
cmake --build "$build" --target bare_frame >/dev/null
if [ -z "${DISPLAY:-}" ] || [ -z "${DR_BENCH_HOME:-}" ]; then
  DR_BENCH_HOME=1 exec "$here/scripts/with-own-home" "$here/scripts/with-display" "$0" "$@"
fi
export WINEPREFIX=$HOME/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
mkdir -p "$WINEPREFIX"
wineserver -p   # stays up between the starts, as on a desktop where Wine already runs
wineboot --init >/dev/null 2>&1
dir=$HOME/app
mkdir -p "$dir"
cp "$build/stage/dravellin-recorder.exe" "$build/stage/lame_enc.dll" "$build/bare_frame.exe" "$dir/"
trap 'wineserver -k 2>/dev/null || true' EXIT

# ms from start to the window titled $2 mapped, for program $1.
time_to_window() {
  local start now
  start=$(date +%s%N)
  wine "$1" >/dev/null 2>&1 &
  for _ in $(seq 1 2000); do
    if xdotool search --onlyvisible --name "$2" >/dev/null 2>&1; then break; fi
    sleep 0.005
  done
  now=$(date +%s%N)
  wine taskkill /F /IM "$(basename "$1")" >/dev/null 2>&1 || true
  wait 2>/dev/null || true
  for _ in $(seq 1 100); do xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 || break; sleep 0.02; done
  echo $(( (now - start) / 1000000 ))
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

time_to_window "$dir/bare_frame.exe" '^bare - Dravellin Recorder$' >/dev/null  # warms the prefix
program=() bare=()
for _ in 1 2 3 4 5 6 7; do
  program+=("$(time_to_window "$dir/dravellin-recorder.exe" '^<No file> - Dravellin Recorder$')")
  bare+=("$(time_to_window "$dir/bare_frame.exe" '^bare - Dravellin Recorder$')")
done
p=$(printf '%s\n' "${program[@]}" | median)
b=$(printf '%s\n' "${bare[@]}" | median)
echo "-- start-up under Wine ($(wine --version)), warm wineserver, median of 7: time to the window mapped"
echo "   program ${p} ms, bare wxMSW frame ${b} ms, ratio $(awk -v p="$p" -v b="$b" 'BEGIN { printf "%.2f", p / b }') (aim <= 1.3)"
echo "   runs: program ${program[*]} ms; bare frame ${bare[*]} ms"
size() { stat -c %s "$1" | awk '{ printf "%.2f MB (%d bytes)", $1 / 1048576, $1 }'; }
echo "-- sizes: installer $(size "$installer") (aim < 8 MB), program $(size "$build/stage/dravellin-recorder.exe"), lame_enc.dll $(size "$build/stage/lame_enc.dll")"
