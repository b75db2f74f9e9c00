#!/usr/bin/env bash
# Starts the real program on the test display with "open the last file" as the start-up action
# and a hostile or odd file as the last file: each playable file must load under its own title
# (another layer appended, a decoy stream before the audio, 50 MB of junk before it, free
# format), each unplayable path must bring up its message while the program stays alive (a
# 100 GiB sparse file, a named pipe), and the program must close promptly afterwards.
# Needs DISPLAY (the test runner provides a virtual one with a window manager).
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null || true' EXIT
export XDG_CONFIG_HOME=$work/config
conf="$XDG_CONFIG_HOME/Dravellin Software/dravellin-recorder.conf"
mkdir -p "$(dirname "$conf")"
export SDL_DISKAUDIOFILE=/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
now() { date +%s%N; }
ms_since() { echo $((($(now) - $1) / 1000000)); }

# Test material: tones from sox, Layer III from lame, Layer II from ffmpeg.
sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 3 sine 440
sox -q -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 30 sine 330
lame --quiet -t -b 128 "$work/tone.wav" "$work/l3.mp3"
lame --quiet -t -b 128 "$work/long.wav" "$work/long.mp3"
lame --quiet -t --freeformat -b 200 "$work/tone.wav" "$work/free.mp3"
ffmpeg -nostdin -y -v quiet -i "$work/tone.wav" -c:a mp2 -b:a 192k -f mp2 "$work/l2.mp2"
cat "$work/l2.mp2" "$work/l3.mp3" > "$work/mixed.mp3"
{ for _ in 1 2 3; do printf '\xff\xf3\x14\xc4'; head -c 20 /dev/zero; done; cat "$work/l3.mp3"; } > "$work/decoy.mp3"
{ head -c $((50 << 20)) /dev/urandom; cat "$work/long.mp3"; } > "$work/junk50.mp3"
sox -q -n -r 8000 -c 1 -b 16 "$work/small.wav" synth 1 sine 440
lame --quiet -t -b 8 "$work/small.wav" "$work/small.mp3"
head -c 144 "$work/small.mp3" > "$work/huge.mp3"  # two 72-byte frames
truncate -s 100G "$work/huge.mp3"
mkfifo "$work/pipe.mp3"

start_with() {
  printf '[Common]\nLoader=2\nLastFile=%s\n' "$1" > "$conf"
  started=$(now)
  "$program" 2>"$work/stderr" &
  pid=$!
}

# Waits for a visible window of the program whose name matches; prints its id.
wait_window() {
  local win=
  for _ in $(seq 1 600); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended while loading $2"
    win=$(xdotool search --all --pid "$pid" --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "no window named '$1' for $2"
  echo "$win"
}

close_program() {
  local win=$1 t
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  t=$(now)
  xdotool key alt+F4
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end when its window closed ($2)"
  wait "$pid" || fail "the program ended with status $? ($2)"
  pid=
  echo "  closed in $(ms_since "$t") ms"
}

for name in mixed decoy junk50 free; do
  start_with "$work/$name.mp3"
  win=$(wait_window "^$name.mp3 - Dravellin Recorder\$" "$name.mp3")
  echo "$name.mp3: titled after $(ms_since "$started") ms"
  sleep 0.3
  close_program "$win" "$name.mp3"
done

for name in huge pipe; do
  start_with "$work/$name.mp3"
  # The message box carries the program's name as its title.
  box=$(wait_window '^dravellin-recorder$' "$name.mp3")
  echo "$name.mp3: message after $(ms_since "$started") ms"
  xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
  xdotool key Return
  main=$(wait_window 'Dravellin Recorder$' "$name.mp3")
  kill -0 "$pid" 2>/dev/null || fail "the program ended after the message for $name.mp3"
  close_program "$main" "$name.mp3"
done
echo "hostile_files_test: 6 passed, 0 failed"
