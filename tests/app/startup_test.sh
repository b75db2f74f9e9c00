#!/usr/bin/env bash
# Starts the real program on the test display with an empty settings folder and checks where its
# window appears, its title, that closing it stores the position, and that a second start reopens
# there. Needs DISPLAY (the test runner provides a virtual one with a window manager).
set -euo pipefail
program=$1
config=$(mktemp -d)
trap 'rm -rf "$config"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
export XDG_CONFIG_HOME=$config
conf="$config/Dravellin Software/dravellin-recorder.conf"

fail() { echo "FAIL: $*" >&2; exit 1; }

start() {
  "$program" 2>/dev/null &
  pid=$!
  win=
  # Generous waits: under sanitizers, with other tests beside it, the program is many times
  # slower; a wait that ends early costs nothing.
  for _ in $(seq 1 600); do
    win=$(xdotool search --all --pid "$pid" --onlyvisible --name '^<No file> - Dravellin Recorder$' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "no window titled '<No file> - Dravellin Recorder'"
}

# Outer top-left corner: the client's absolute position less the window manager's frame.
outer_position() {
  local ax ay extents left top
  ax=$(xwininfo -id "$win" | awk '/Absolute upper-left X/ {print $4}')
  ay=$(xwininfo -id "$win" | awk '/Absolute upper-left Y/ {print $4}')
  extents=$(xprop -id "$win" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' ')
  left=$(echo "${extents:-0,0,0,0}" | cut -d, -f1)
  top=$(echo "${extents:-0,0,0,0}" | cut -d, -f3)
  echo "$((ax - left)),$((ay - top))"
}

# The window manager frames and places the window after it is mapped: waits for the position.
expect_position() {
  for _ in $(seq 1 300); do
    [ "$(outer_position)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "$2 start at $(outer_position), expected $1"
}

# Closes the window with Alt+F4 and waits for the program to end; tells how long that took, so
# a slow end and a stuck one can be told apart in the log.
close() {
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  local started ended
  started=$(date +%s%N)
  xdotool key alt+F4
  for _ in $(seq 1 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  ended=$(date +%s%N)
  if kill -0 "$pid" 2>/dev/null; then
    echo "the program still runs 60 s after its window closed; its threads:" >&2
    gdb -p "$pid" -batch -ex 'thread apply all bt 12' 2>/dev/null >&2 || true
    fail "the program did not end when its window closed"
  fi
  wait "$pid" 2>/dev/null || true
  echo "startup_test: the program ended $(( (ended - started) / 1000000 )) ms after Alt+F4"
  pid=
}

start
expect_position 300,200 first
close
grep -qx 'x_screen=300' "$conf" || fail "x_screen not stored: $(cat "$conf")"
grep -qx 'y_screen=200' "$conf" || fail "y_screen not stored"
grep -qx 'AlwaysOnTop=0' "$conf" || fail "AlwaysOnTop not written back at start"

sed -i 's/^x_screen=.*/x_screen=40/; s/^y_screen=.*/y_screen=60/' "$conf"
start
expect_position 40,60 second
close
echo "startup_test: 1 passed, 0 failed"
