#!/usr/bin/env bash
# Uses an installed program as a user would: opens an MP3 named on the command line by a relative
# name (title, "LastFile" with the full path, start-up action not run), records about three
# seconds into it with Enter (through the encoder library expected), plays it with Space, and
# switches automatic start on (the autostart entry's Exec is the program's full path).
# Needs DISPLAY with a window manager and SDL's disk audio driver.
# Usage: record_play_test.sh <program> <encoder library it must load> [<desktop entry>]
# With a desktop entry, its StartupWMClass must be the window's real WM_CLASS.
set -euo pipefail
program=$1
library=$2
desktop=${3:-}

work=$(mktemp -d)
pid=
cleanup() {
  # SIGKILL: a program that failed the test may not end on SIGTERM.
  if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-disk}
export XDG_CONFIG_HOME=$work/config
conf="$XDG_CONFIG_HOME/Dravellin Software/dravellin-recorder.conf"
mkdir -p "$work/music" "$(dirname "$conf")"
sox -n -r 22050 -c 1 -b 16 "$work/tone.wav" synth 3 sine 440 2>/dev/null
lame --quiet -b 32 "$work/tone.wav" "$work/music/tone.mp3"
sox -n -r 11025 -c 1 -b 16 -e signed-integer -t raw "$work/input.raw" synth 120 sine 660 2>/dev/null
export SDL_DISKAUDIOFILEIN=$work/input.raw
export SDL_DISKAUDIOFILE=$work/output.raw

# Closing the window with Alt+F4 needs the window manager.
for _ in $(seq 1 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "no window manager on $DISPLAY"

# The waits below are generous: under sanitizers the program is many times slower, and a wait
# that ends early costs nothing.
# Start-up action 1 would make a new file: a file named on the command line replaces it.
printf '[Common]\nLoader=1\n' >"$conf"
(cd "$work/music" && exec "$program" tone.mp3 2>"$work/stderr.log") &
pid=$!

win=
for _ in $(seq 1 600); do
  win=$(xdotool search --all --pid "$pid" --onlyvisible --name '^tone.mp3 - Dravellin Recorder$' 2>/dev/null | head -n 1 || true)
  [ -n "$win" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended at start: $(cat "$work/stderr.log")"
  sleep 0.1
done
[ -n "$win" ] || fail "no window titled 'tone.mp3 - Dravellin Recorder'"
key() {
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  xdotool key "$1"
}

grep -qx "LastFile=$work/music/tone.mp3" "$conf" || fail "LastFile is not the full path: $(cat "$conf")"
[ "$(ls "$work/music")" = tone.mp3 ] || fail "the start-up action ran as well: $(ls "$work/music")"
if [ -n "$desktop" ]; then
  wm_class=$(xprop -id "$win" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
  grep -qx "StartupWMClass=$wm_class" "$desktop" || fail "StartupWMClass differs from WM_CLASS '$wm_class'"
fi

# Record about three seconds; the encoder library must be the one expected.
size_before=$(stat -c %s "$work/music/tone.mp3")
key Return
loaded=
for _ in $(seq 1 600); do
  if grep -qF "$(readlink -f "$library")" "/proc/$pid/maps" 2>/dev/null; then loaded=1; break; fi
  sleep 0.1
done
[ -n "$loaded" ] || fail "the recording did not load $library"
sleep 3
key Return
for _ in $(seq 1 600); do
  [ "$(stat -c %s "$work/music/tone.mp3")" -gt "$size_before" ] && break
  sleep 0.1
done
added=$(( $(stat -c %s "$work/music/tone.mp3") - size_before ))
# 32 kbit/s for about three seconds.
[ "$added" -gt 8000 ] || fail "the recording added only $added bytes"
# ffprobe where it is installed; a bare system gets sox's reading of the frames instead (ffmpeg
# would bring SDL along and hide a missing dependency of the program).
if command -v ffprobe >/dev/null 2>&1; then
  seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/music/tone.mp3")
else
  seconds=$(soxi -D "$work/music/tone.mp3")
fi
awk -v s="$seconds" 'BEGIN { exit !(s > 5.5 && s < 9) }' || fail "the file lasts $seconds s, expected about 6"

# Play: sound reaches the output.
: >"$SDL_DISKAUDIOFILE"
key space
for _ in $(seq 1 600); do
  [ -s "$SDL_DISKAUDIOFILE" ] && break
  sleep 0.1
done
[ -s "$SDL_DISKAUDIOFILE" ] || fail "playback sent nothing to the sound output"
key space

# Automatic start switched on in the settings sheet (Ctrl+P; the check box is two Tabs from the
# start-up choices; Enter is OK): the autostart entry starts this program by its full path.
key ctrl+p
sheet=
for _ in $(seq 1 600); do
  # Its title is only in _NET_WM_NAME, which `xdotool search --name` does not read.
  for sheet in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    [ "$(xdotool getwindowname "$sheet")" = Свойства ] && break 2
  done
  sheet=
  sleep 0.1
done
[ -n "$sheet" ] || fail "Ctrl+P did not open the settings sheet"
xdotool windowactivate --sync "$sheet" >/dev/null 2>&1 || true
for _ in $(seq 1 600); do [ "$(xdotool getwindowfocus)" = "$sheet" ] && break; sleep 0.1; done
xdotool key Tab Tab space Return
entry=$XDG_CONFIG_HOME/autostart/Palimbor.desktop
for _ in $(seq 1 600); do [ -f "$entry" ] && break; sleep 0.1; done
grep -qx 'Autorun=1' "$conf" || fail "could not switch automatic start on in the settings sheet"
[ -f "$entry" ] || fail "no autostart entry $entry"
grep -qx "Exec=$(readlink -f "$program")" "$entry" || fail "autostart Exec is not the program's full path: $(cat "$entry")"

key alt+F4
for _ in $(seq 1 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end when its window closed"
wait "$pid" || true
pid=
echo "record_play_test: $program opened, recorded ${seconds%.*} s in all, played"
