#!/usr/bin/env bash
# CPU per minute of a voice-activated recording listening to a silent input, next to the same
# process idle and to an ordinary recording of the same silence. The listening input must stay
# close to idle: it copies and measures each chunk but encodes nothing.
#
# Usage: bench/voice_idle.sh <bench build dir> [seconds (60)]
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
seconds=${2:-60}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Silence, longer than what is listened to (44100 Hz stereo, 16 bits).
head -c $(((seconds + 5) * 44100 * 4)) /dev/zero > "$scratch/in.raw"

export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILEIN="$scratch/in.raw"
export DR_BENCH_RECORD_MP3="$scratch/rec.mp3"
export DR_BENCH_SECONDS=$seconds
echo "-- ${seconds} s each: idle, voice activation listening to silence, recording the silence"
"$build/voice_idle_bench" --benchmark_format=console --benchmark_counters_tabular=true
