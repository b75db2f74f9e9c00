#!/usr/bin/env bash
# What the computer plays, captured through WASAPI loopback under Debian 13's Wine 10 (Debian 12's
# Wine cannot), on the display and PulseAudio that scripts/test-windows starts (with-display,
# with-pulse, with-own-home). Every Wine command runs in the Debian 13 tree through
# scripts/with-wine10; PulseAudio's own tools (paplay, sox) run here. The tree sees only /tmp of
# this machine, so the test works in a folder there and needs its home and the PulseAudio socket
# there too.
#
# loopback_capture: loopback-capture-test.exe (tests/windows/LoopbackCaptureTest.cpp) captures the
# default output, the tests' null speaker, for 14 s while a 1 kHz tone at -15 dBFS RMS plays to it
# for 3 s, nothing plays for 5 s, and the tone plays 3 s again. The capture holds both tones at
# the level played (within 1.5 dB) and the 5 s between them as silence, and the test prints what
# the stream delivered while nothing played (packets of silence, or none at all).
#
# program_loopback INSTALLER: the program's own loopback recording. It installs the
# program in the same prefix, stores the speaker's render endpoint as the source
# ([Record] Source=<endpoint ID>, in the registry under
# HKCU\Software\Dravellin Software\dravellin-recorder\Record), records the same tone, pause and
# tone with --record and --stop and checks the file with mpg123 and sox. It runs when the
# installer is given.
#
# Usage: wine10_test.sh <loopback-capture-test.exe> [installer.exe]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
capture_test=$(readlink -f "$1")
installer=${2:+$(readlink -f "$2")}
work=$(mktemp -d /tmp/dr-wine10.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
w10() { "$here/scripts/with-wine10" "$@"; }
player=
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  w10 wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "wine10_test: $1 (${SECONDS} s)"; }
for path in "$HOME" "${PULSE_SERVER#unix:}"; do
  case $path in /tmp/*) ;; *) fail "$path is not under /tmp, where the Debian 13 tree sees it" ;; esac
done
cd "$work"

version=$(w10 wine --version 2>/dev/null || true)
[[ $version == wine-10* ]] || fail "no Wine 10 in the Debian 13 tree: $version"
w10 wineboot --init >/dev/null 2>&1
w10 wineserver -w
step "fresh prefix under $version"

# The played sound: 3 s of tone at -15 dBFS RMS (a sine of amplitude 0.25), 5 s of nothing
# playing (no stream at all, not a stream of zeros), the tone again.
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 3 sine 1000 vol 0.25 2>/dev/null
fed_db=$(awk 'BEGIN { printf "%.2f", 20 * log(0.25 / sqrt(2)) / log(10) }')
play_with_pause() {
  paplay "$work/tone.wav"
  sleep 5
  paplay "$work/tone.wav"
}

# levels WAV: one line per 10 ms of the first channel, its RMS in dBFS (-200 for digital zero).
levels() {
  sox "$1" -t dat - remix 1 2>/dev/null | awk -v rate="$(soxi -r "$1")" '
    /^;/ { next }
    { sum += $2 * $2; if (++n == int(rate / 100)) { print (sum > 0 ? 10 * log(sum / n) / log(10) : -200); sum = 0; n = 0 } }'
}

# check_tone_pause_tone WAV WHAT: two runs of tone, each about 3 s at the fed level, with 5 s of
# silence between them.
check_tone_pause_tone() {
  levels "$1" | awk -v fed="$fed_db" -v what="$2" '
    { loud = $1 > -40 }
    loud && !inrun { runs++; start[runs] = NR; inrun = 1 }
    !loud && inrun { end[runs] = NR - 1; inrun = 0 }
    loud { level[NR] = $1 }
    { all[NR] = $1 }
    END {
      if (inrun) end[runs] = NR
      if (runs != 2) { printf "%s: %d runs of tone, expected 2\n", what, runs; exit 1 }
      for (r = 1; r <= 2; r++) {
        len = (end[r] - start[r] + 1) / 100
        if (len < 2.7 || len > 3.3) { printf "%s: tone %d lasts %.2f s, expected 3\n", what, r, len; exit 1 }
        # The middle of the run: mean power of the windows away from its edges.
        sum = 0; n = 0
        for (i = start[r] + 20; i <= end[r] - 20; i++) { sum += 10 ^ (level[i] / 10); n++ }
        db = 10 * log(sum / n) / log(10)
        if (db < fed - 1.5 || db > fed + 1.5) { printf "%s: tone %d at %.2f dBFS, fed at %.2f\n", what, r, db, fed; exit 1 }
        printf "%s: tone %d from %.2f s, %.2f s at %.2f dBFS (fed %.2f)\n", what, r, (start[r] - 1) / 100, len, db, fed
      }
      gap = (start[2] - end[1] - 1) / 100
      if (gap < 4.6 || gap > 5.6) { printf "%s: %.2f s between the tones, expected 5\n", what, gap; exit 1 }
      loudest = -200
      for (i = end[1] + 10; i < start[2] - 10; i++) if (all[i] > loudest) loudest = all[i]
      if (loudest > -60) { printf "%s: the pause is not silent (%.1f dBFS)\n", what, loudest; exit 1 }
      printf "%s: %.2f s of silence between the tones (loudest 10 ms %.1f dBFS)\n", what, gap, loudest
    }'
}

loopback_capture() {
  cp "$capture_test" "$work/loopback-capture-test.exe"
  w10 wine "$work/loopback-capture-test.exe" 14 "$work/loopback.wav" >"$work/capture.out" 2>&1 &
  local capture=$!
  for _ in $(seq 1 300); do grep -q capturing "$work/capture.out" && break; sleep 0.1; done
  grep -q capturing "$work/capture.out" || fail "the loopback capture did not start: $(tr -d '\r' <"$work/capture.out")"
  sleep 0.5
  play_with_pause &
  player=$!
  wait "$capture" || fail "the loopback capture failed: $(tr -d '\r' <"$work/capture.out")"
  wait "$player" || true
  player=
  tr -d '\r' <"$work/capture.out" | sed 's/^/  /'
  check_tone_pause_tone "$work/loopback.wav" "loopback capture" || fail "loopback capture: see above"
  local longest
  longest=$(tr -d '\r' <"$work/capture.out" | sed -n 's/.*longest without a packet \([0-9]*\) ms.*/\1/p')
  if [ "${longest:-0}" -lt 500 ]; then
    echo "loopback capture: packets of silence kept coming while nothing played (longest without one ${longest} ms)"
  else
    echo "loopback capture: no packets for ${longest} ms while nothing played"
  fi
  endpoint=$(tr -d '\r' <"$work/capture.out" | sed -n 's/^endpoint: //p')
  step "loopback of the default output: tone, pause, tone"
}

# The program's own lines among what a command printed (Wine's notes left out).
said_by_program() {
  printf '%s\n' "$1" | tr -d '\r' | grep -a '^dravellin-recorder:' | head -n 3
}

program_loopback() {
  local installer=$1 settings='HKCU\Software\Dravellin Software\dravellin-recorder' said
  cp "$installer" "$work/setup.exe"
  w10 wine "$work/setup.exe" /S
  w10 wineserver -w
  local exe
  exe=$(find "$WINEPREFIX/drive_c/users" -path '*/Programs/Dravellin Recorder/dravellin-recorder.exe' | head -n 1)
  [ -n "$exe" ] || fail "the installer installed no program"
  local mp3=$work/prefix/drive_c/loopback.mp3 winmp3='C:\loopback.mp3'
  : >"$mp3"
  w10 wine reg add "$settings\\Record" /v Source /t REG_SZ /d "$endpoint" /f >/dev/null 2>&1
  (w10 wine "$exe" "$winmp3" >/dev/null 2>&1 &)
  for _ in $(seq 1 200); do
    xdotool search --onlyvisible --name '^loopback.mp3 - Dravellin Recorder$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1
  said=$(w10 wine "$exe" --record 2>&1) || fail "--record failed: $(said_by_program "$said")"
  sleep 1
  play_with_pause
  sleep 1
  said=$(w10 wine "$exe" --stop 2>&1) || fail "--stop failed: $(said_by_program "$said")"
  sleep 1
  w10 wine taskkill /IM dravellin-recorder.exe >/dev/null 2>&1 || true
  w10 wineserver -w
  [ -s "$mp3" ] || fail "the program recorded nothing by loopback"
  mpg123 -q -w "$work/program.wav" "$mp3" 2>/dev/null || fail "mpg123 cannot decode the program's loopback recording"
  check_tone_pause_tone "$work/program.wav" "the program's loopback recording" || fail "the program's loopback recording: see above"
  step "the program recorded the output by loopback"
}

loopback_capture
[ -n "$installer" ] && program_loopback "$installer"
echo "wine10_test: loopback under Wine 10${installer:+, also by the program}"
