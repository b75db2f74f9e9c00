#!/usr/bin/env bash
# How far the playback position the program shows is from the sound at the output, through
# PulseAudio and through PipeWire (private servers: scripts/with-pulse, scripts/with-pipewire),
# for the program's own sound-server client and for SDL's PulseAudio driver:
#
#   offset, ms   the time the shown position passed a click in the file minus the time the
#                click reached the null speaker's monitor (positive: the display trails);
#                the first click (1 s after Play) apart from the later ones (2 to 6 s)
#   start, ms    Play to the first sound at the monitor
#
# Aim: within 50 ms of the sound. The monitor is recorded by parecord with a 5 ms latency; its
# delivery makes the sound's time late by up to that and one server cycle, so a true offset
# may be that much larger than shown. Every figure is min/median/max over RUNS runs (default 5).
#
# Usage: bench/play_position.sh <build dir with DR_BUILD_BENCH=ON>
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-bench}" && pwd)
runs=${RUNS:-5}
probe="$build/play_position_probe"
[ -x "$probe" ] || { echo "missing $probe (configure with -DDR_BUILD_BENCH=ON)" >&2; exit 2; }

stats() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "n/a"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.1f / %.1f / %.1f", v[1], m, v[NR] }'
}

if [ -z "${DR_BENCH_PART:-}" ]; then
  echo "== playback position against the sound at the output: $runs runs each"
  for part in pulse pipewire; do
    DR_BENCH_PART=$part "$here/scripts/with-$part" "$0" "$build" || echo "-- $part: not measured (exit status $?)"
  done
  exit 0
fi

case "$DR_BENCH_PART" in
  pulse) server=PulseAudio ;;
  pipewire) server=PipeWire ;;
esac
scratch=$(mktemp -d)
other=
trap '[ -z "$other" ] || kill "$other" 2>/dev/null; rm -rf "$scratch"' EXIT
# The clients, each RUNS times; "busy": the program's own client while another stream already
# plays silence into the speaker (PulseAudio's null sink, alone, works in blocks of seconds and
# takes that long to start; a sound card starts at once).
for client in own sdl busy; do
  : >"$scratch/$client.txt"
  [ "$client" != busy ] || { pacat --raw --latency-msec=50 /dev/zero & other=$!; sleep 1; }
  for _ in $(seq 1 "$runs"); do
    if [ "$client" = sdl ]; then
      SDL_AUDIODRIVER=pulseaudio "$probe" "$scratch" >>"$scratch/$client.txt" 2>/dev/null || true
    else
      env -u SDL_AUDIODRIVER "$probe" "$scratch" >>"$scratch/$client.txt" 2>/dev/null || true
    fi
  done
done
echo "-- $server (null speaker)                    offset at 1 s      offset at 2-6 s     start"
for client in own sdl busy; do
  case "$client" in
    own) name="the program's own client" ;;
    sdl) name="SDL's PulseAudio driver " ;;
    busy) name="own client, speaker busy" ;;
  esac
  printf '   %s, ms   %s   %s   %s\n' "$name" \
    "$(awk '$1 == "click" && $2 == 1 { print $3 }' "$scratch/$client.txt" | stats)" \
    "$(awk '$1 == "click" && $2 > 1 { print $3 }' "$scratch/$client.txt" | stats)" \
    "$(awk '$1 == "start" { print $2 }' "$scratch/$client.txt" | stats)"
done
