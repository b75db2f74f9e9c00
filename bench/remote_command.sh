#!/usr/bin/env bash
# How long a command to the running program takes: from starting `dravellin-recorder --toggle`
# to the State change signalled on the session bus (emitted as the lamp changes, in the same
# step of the window's loop), and to the command's own exit, over alternate record and stop.
# Target: under 100 ms to the lamp's change. Anchors: the same through `gdbus call` (no toolkit to
# load), and `dravellin-recorder --version` (what starting the program costs before it does
# anything). A stop also takes what the recorder's own stop takes (DR_TRACE_UI=1 shows it as
# record-stop).
#
# Usage: bench/remote_command.sh <build dir> [rounds (20)]
# Needs: Xvfb and openbox (it makes its own display unless DISPLAY is set), dbus-daemon, gdbus.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
rounds=${2:-20}
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec "$here/scripts/with-display" "$0" "$build" "$rounds"
fi
program=$build/dravellin-recorder
scratch=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

export NO_AT_BRIDGE=1 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
export SDL_DISKAUDIOFILEIN=$scratch/in.raw
head -c $((11025 * 2 * 600)) /dev/zero >"$scratch/in.raw"
export XDG_CONFIG_HOME=$scratch/config
mkdir -p "$XDG_CONFIG_HOME/Dravellin Software"
printf '[Common]\nLoader=1\n' >"$XDG_CONFIG_HOME/Dravellin Software/dravellin-recorder.conf"
dbus-daemon --session --nofork --address="unix:dir=$scratch" --print-address=1 >"$scratch/address" 2>/dev/null &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$scratch/address" ] && break; sleep 0.05; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$scratch/address")
export DBUS_SESSION_BUS_ADDRESS

(cd "$scratch" && exec "$program" >/dev/null 2>&1) &
pids+=($!)
for _ in $(seq 1 200); do "$program" --status >/dev/null 2>&1 && break; sleep 0.05; done

# Each State change, stamped as it arrives.
gdbus monitor --session --dest example.dravellin.Recorder 2>/dev/null |
  while IFS= read -r line; do
    case $line in *PropertiesChanged*) echo "$(date +%s%N)" >>"$scratch/signals" ;; esac
  done &
pids+=($!)
sleep 0.5
: >"$scratch/signals"

lamp=() exits=() stop_lamp=() gdbus_lamp=() gdbus_stop=() bare=()
n=0
toggle() {  # toggle ARRAY COMMAND...: one command, its time to the State signal into ARRAY
  local -n into=$1; shift
  local start done_at signal
  n=$((n + 1))
  start=$(date +%s%N)
  "$@" >/dev/null
  done_at=$(date +%s%N)
  for _ in $(seq 1 200); do [ "$(wc -l <"$scratch/signals")" -ge "$n" ] && break; sleep 0.01; done
  signal=$(sed -n "${n}p" "$scratch/signals")
  [ -n "$signal" ] || { echo "no State signal for command $n" >&2; exit 1; }
  into+=($(((signal - start) / 1000)))
  last_exit=$(((done_at - start) / 1000))
  sleep 0.3
}
for _ in $(seq 1 "$rounds"); do
  toggle lamp "$program" --toggle
  exits+=("$last_exit")
  toggle stop_lamp "$program" --toggle
  # The same through the desktop's own tool, which loads no toolkit.
  for into in gdbus_lamp gdbus_stop; do
    toggle $into gdbus call --session --dest example.dravellin.Recorder --object-path /example/dravellin/Recorder \
      --method example.dravellin.Recorder.Toggle
  done
  # What starting the program costs before it does anything.
  start=$(date +%s%N)
  "$program" --version >/dev/null
  bare+=($((($(date +%s%N) - start) / 1000)))
done
"$program" --stop >/dev/null 2>&1 || true

report() {  # report NAME MICROSECONDS...
  local name=$1; shift
  printf '%s\n' "$@" | sort -n | awk -v name="$name" '
    { v[NR] = $1 } END { printf "%-38s median %6.1f ms   max %6.1f ms   (%d commands)\n", name, v[int((NR + 1) / 2)] / 1000, v[NR] / 1000, NR }'
}
report "--toggle (record) -> lamp" "${lamp[@]}"
report "--toggle (record) -> its exit" "${exits[@]}"
report "--toggle (stop) -> lamp" "${stop_lamp[@]}"
report "gdbus call Toggle (record) -> lamp" "${gdbus_lamp[@]}"
report "gdbus call Toggle (stop) -> lamp" "${gdbus_stop[@]}"
report "anchor: dravellin-recorder --version" "${bare[@]}"
echo "target: under 100 ms to the lamp's change"
