#!/usr/bin/env bash
# CPU cost of recording through SDL's disk audio driver (256 kbps stereo 44100 Hz) against the
# `lame` command encoding the same PCM with the same settings, and the fastest disk-driver speed
# the recorder keeps up with.
#
# Usage: bench/record_disk.sh <bench build dir> [seconds (60)] [long seconds (600)]
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
seconds=${2:-60}
long=${3:-600}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Input: a tone mix, a little longer than what is recorded.
pcm_for() {
  sox -n -r 44100 -c 2 -b 16 -e signed-integer -L "$2" synth "$1" sine 440 sine 660 vol 0.5
}
pcm_for $((seconds + 5)) "$scratch/in.raw"

export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILEIN="$scratch/in.raw"
export DR_BENCH_RECORD_MP3="$scratch/rec.mp3"

echo "-- ${seconds} s recording in real time (the driver's own pace), without the writer's syncs to disk"
DR_BENCH_NO_SYNC=1 DR_BENCH_RECORD_SECONDS=$seconds "$build/record_disk_bench" \
  --benchmark_format=console --benchmark_counters_tabular=true
echo "-- ${seconds} s recording in real time (the driver's own pace), synced to disk as the program does"
DR_BENCH_RECORD_SECONDS=$seconds "$build/record_disk_bench" \
  --benchmark_format=console --benchmark_counters_tabular=true

echo "-- ${seconds} s recording, SDL_DISKAUDIODELAY=1 (about 23x real time)"
SDL_DISKAUDIODELAY=1 DR_BENCH_RECORD_SECONDS=$seconds "$build/record_disk_bench" \
  --benchmark_format=console --benchmark_counters_tabular=true | tee "$scratch/rec.txt"

echo "-- lame on the same ${seconds} s of PCM"
head -c $((seconds * 44100 * 4)) "$scratch/in.raw" > "$scratch/cut.raw"
TIMEFORMAT='lame: %U s user + %S s system'
time lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 256 --cbr \
  --nores -t "$scratch/cut.raw" "$scratch/lame.mp3"

if [ "$long" -gt 0 ]; then
  pcm_for $((long + 5)) "$scratch/in.raw"
  for delay in 0 1; do
    echo "-- ${long} s recording at SDL_DISKAUDIODELAY=$delay"
    SDL_DISKAUDIODELAY=$delay DR_BENCH_RECORD_SECONDS=$long "$build/record_disk_bench" \
      --benchmark_format=console --benchmark_counters_tabular=true
  done
fi
