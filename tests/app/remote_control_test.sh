#!/usr/bin/env bash
# Commands to a running program over private session buses, as a user's script or the desktop's
# launcher sends them: --status before any program runs, --toggle that starts the program and
# records, --stop, --record, two quick toggles, a second start handing over; and a second
# "user" (a program on a bus of its own) that never hears the first one's commands. The file
# must grow while --status says recording and stop growing once it says stopped.
# A program without a file refuses --record with the reason; a bad file handed over is refused
# with the window's message, and while that is open a command is refused as busy; a program that
# hangs gets no answer; the same user's other login session on the same bus does not reach it.
# Needs DISPLAY with a window manager, dbus-daemon and SDL's disk audio driver.
# Usage: remote_control_test.sh <program>
set -euo pipefail
program=$1

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; for u in one two; do [ -f "$work/$u.log" ] && sed "s/^/$u: /" "$work/$u.log" >&2; done; exit 1; }

export SDL_AUDIODRIVER=disk
# GTK would start the accessibility bus on the private buses, outliving them.
export NO_AT_BRIDGE=1
# Every command comes from the login session of the programs, unless a check says otherwise.
export XDG_SESSION_ID=test1
sox -n -r 11025 -c 1 -b 16 -e signed-integer -t raw "$work/input.raw" synth 300 sine 660 2>/dev/null
export SDL_DISKAUDIOFILEIN=$work/input.raw
export SDL_DISKAUDIOFILE=/dev/null

# A user: a session bus, settings (start-up action: a new file) and a music folder of its own.
make_user() {  # make_user NAME LOADER
  local u=$1
  mkdir -p "$work/$u/config/Dravellin Software" "$work/$u/music"
  printf '[Common]\nLoader=%s\n' "$2" >"$work/$u/config/Dravellin Software/dravellin-recorder.conf"
  dbus-daemon --session --nofork --address="unix:dir=$work/$u" --print-address=1 >"$work/$u/address" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 1 100); do [ -s "$work/$u/address" ] && break; sleep 0.05; done
  [ -s "$work/$u/address" ] || fail "no bus for $u"
}
as() {  # as USER COMMAND...: runs in the user's environment and folder
  local u=$1; shift
  (cd "$work/$u/music" && DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/$u/address") \
     XDG_CONFIG_HOME="$work/$u/config" exec "$@")
}
start() {  # start USER [OPTION]: the program in the background; its pid in $!
  local u=$1; shift
  (cd "$work/$u/music" && DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/$u/address") \
     XDG_CONFIG_HOME="$work/$u/config" exec "$program" "$@" >"$work/$u.log" 2>&1) &
  pids+=($!)
}
run() {  # run USER [OPTION]: the command's exit status and output in $rc, $out, $err
  set +e
  out=$(as "$1" "$program" "${@:2}" 2>"$work/err")
  rc=$?
  set -e
  err=$(cat "$work/err")
}
status_is() {  # status_is USER REGEX: waits until --status matches
  for _ in $(seq 1 200); do
    run "$1" --status
    [ "$rc" = 0 ] && [[ "$out" =~ $2 ]] && return 0
    sleep 0.05
  done
  fail "$1: --status said '$out' ($rc: $err), expected /$2/"
}
size() { stat -c %s "$work/one/music/$file"; }
grows() {
  local before; before=$(size)
  for _ in $(seq 1 100); do sleep 0.1; [ "$(size)" -gt "$before" ] && return 0; done
  fail "the file does not grow ($before bytes)"
}
still() {
  local before; sleep 0.5; before=$(size); sleep 1
  [ "$(size)" = "$before" ] || fail "the file grew after stop ($before -> $(size))"
}

make_user one 1
make_user two 0

run one --status
[ "$rc" = 3 ] && [ "$err" = "dravellin-recorder: not running" ] || fail "--status with none running: $rc '$err'"
run one --stop
[ "$rc" = 3 ] || fail "--stop with none running: $rc '$err'"

# --toggle with none running starts the program, which makes its new file and records.
start one --toggle
one=$!
status_is one '^recording [0-9]+:[0-9]{2}:[0-9]{2} /.*\.mp3$'
file=$(basename "${out##* }")
[ "$work/one/music/$file" = "${out#recording * }" ] || fail "--status names '${out#recording * }'"
grows

# The same user's other login session shares this bus (a bus per user), not the program.
XDG_SESSION_ID=test2 run one --stop
[ "$rc" = 3 ] || fail "--stop from another session: $rc '$err'"
status_is one '^recording '

# The second user's program hears none of it.
start two
status_is two '^stopped$'
run two --stop
[ "$rc" = 0 ] || fail "--stop to the second user's program: $rc '$err'"
# Its start-up action makes no file: Record is refused with the reason, and nothing records.
run two --record
[ "$rc" = 1 ] && [ "$err" = "dravellin-recorder: recording is not possible: no current file" ] ||
  fail "--record without a file: $rc '$err'"
status_is two '^stopped$'
status_is one '^recording '
grows

run one --stop
[ "$rc" = 0 ] || fail "--stop: $rc '$err'"
status_is one '^stopped$'
still
run one --stop
[ "$rc" = 0 ] || fail "a second --stop: $rc '$err'"

run one --record
[ "$rc" = 0 ] || fail "--record: $rc '$err'"
status_is one '^recording '
grows
run one --record
[ "$rc" = 0 ] || fail "--record while recording: $rc '$err'"
status_is two '^stopped$'

# Two toggles at once: each is carried out once, in turn (recording -> stopped -> recording).
set +e
as one "$program" --toggle 2>"$work/t1" & t1=$!
as one "$program" --toggle 2>"$work/t2" & t2=$!
wait $t1; r1=$?; wait $t2; r2=$?
set -e
[ "$r1" = 0 ] && [ "$r2" = 0 ] || fail "two toggles: $r1 $r2 $(cat "$work/t1" "$work/t2")"
status_is one '^recording '
grows

# A second start without a command hands over and ends; its window never appears.
run one
[ "$rc" = 0 ] || fail "a second start: $rc '$err'"
run one --stop
[ "$rc" = 0 ] || fail "the last --stop: $rc '$err'"
status_is one '^stopped$'
still
# A file that cannot be played, handed over by a second start: the running program opens it as
# its open dialog would, and the command fails with the window's message. While that message is
# open, the record key would go to it: a command is refused as busy, and nothing records.
printf 'not an mp3 at all' >"$work/one/music/bad.mp3"
run one bad.mp3
[ "$rc" = 1 ] && [[ "$err" == *"$work/one/music/bad.mp3"* ]] || fail "opening a bad file: $rc '$err'"
box() { xdotool search --all --pid "$one" --onlyvisible --name '^dravellin-recorder$' 2>/dev/null | head -n 1 || true; }
for _ in $(seq 1 100); do [ -n "$(box)" ] && break; sleep 0.1; done
[ -n "$(box)" ] || fail "no message about the bad file"
run one --toggle
[ "$rc" = 1 ] && [ "$err" = "dravellin-recorder: busy: a dialog is open" ] || fail "--toggle with a message open: $rc '$err'"
status_is one '^stopped$'

# A program that does not answer: the command gives up after 5 s.
kill -STOP "$one"
run one --status
kill -CONT "$one"
[ "$rc" = 2 ] && [ "$err" = "dravellin-recorder: no answer" ] || fail "--status to a stopped program: $rc '$err'"

kill -TERM "$one"
wait "$one" 2>/dev/null || true
run one --status
[ "$rc" = 3 ] || fail "--status after the program ended: $rc '$out' '$err'"
# Under the sanitizers, what they found in the programs.
if grep -l 'Sanitizer\|runtime error' "$work"/*.log >/dev/null 2>&1; then fail "sanitizer reports"; fi
echo ok
