#!/usr/bin/env bash
# How long the user-interface thread is blocked, how fast the window comes up and what a
# recording costs, each figure next to its anchor measured in the same run:
#
#   start-up to the window mapped, resident memory   vs a bare wxWidgets frame (disk driver)
#   pressing Record, destroying a player, Stop       vs the 30 ms goal / the designed 700 ms wait,
#   pressing Play, and Stop while playing            for the disk driver and real sound servers
#                                                    (bench/play_position.sh: where the playback
#                                                    position stands against the sound)
#   CPU of a 60 s 256 kbps stereo 44.1 kHz recording through PulseAudio and through PipeWire,
#                                                    whole program vs `lame` encoding the same
#                                                    amount of PCM, from three microphones: the
#                                                    FIFO-fed source fed 10 ms and 100 ms at a
#                                                    time, and a sine source that delivers two
#                                                    seconds at a time
#
# Through the servers the program runs as a user's does, with no SDL driver chosen (it talks
# to the server itself); BENCH_SDL_PULSE=1 measures SDL's PulseAudio driver instead.
#
# The blocked times come from the program's own opt-in trace (DR_TRACE_UI=1 prints the length
# of each traced user-interface step); the program is driven through its window with xdotool.
# Every figure is min/median/max over RUNS runs (default 5). BENCH_UI_ONLY=1 leaves out the
# recording CPU; BENCH_CPU_ONLY=1 measures nothing but the recording CPU. BENCH_SERVERS chooses
# the servers ("pulse pipewire"), BENCH_FEEDS the microphones ("10 100 sine": the FIFO fed 10 ms
# and 100 ms at a time, the sine source). BENCH_SECOND=mixed or apart adds a second source (the
# speaker's monitor playing the test tone). BENCH_PERF=1 also profiles each recording with perf
# and prints where its CPU went (the profiler's own cost counts in its CPU figure); with
# BENCH_PERF_KEEP=<folder> it records call graphs and keeps each profile in that folder.
# BENCH_FLOOR=1 also measures, after each recording, what the server's own client and a bare
# frame drawing ten times a second cost over the same time (see floor_run).
#
# The recording CPU is split by thread over the recording itself (Record to just before Stop):
# the window's thread (timers, level meter, lamp, time and size), the sound-server client's
# loop thread, the encoding thread(s) and SDL's; what Record and Stop themselves add is the rest.
# Two anchors: `lame` on the test tone, and `lame` on the PCM the microphone gives (for the
# FIFO microphone the test tone too unless BENCH_SIGNAL=sine, for the sine source a capture of
# it), which is what the program encodes: LAME's work depends on the signal.
#
# Usage: bench/responsiveness.sh <build dir with DR_BUILD_BENCH=ON> [record seconds (60)]
# Needs: Xvfb and openbox (it makes its own display unless DISPLAY is set), xdotool, sox,
# lame, pulseaudio; pipewire, pipewire-pulse and wireplumber for the PipeWire figures.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-bench}" && pwd)
record_seconds=${2:-60}
runs=${RUNS:-5}

if [ -z "${DISPLAY:-}" ]; then
  exec "$here/scripts/with-display" "$0" "$build" "$record_seconds"
fi
# The sound-server figures run inside scripts/with-pulse and scripts/with-pipewire (a private
# server whose microphone is a FIFO that mic_feeder fills at real-time pace): this script calls
# itself there.
part=${DR_BENCH_PART:-disk}
case "$part" in
  pulse) server=PulseAudio ;;
  pipewire) server=PipeWire ;;
esac

program="$build/dravellin-recorder"
for exe in "$program" "$build/bare_frame" "$build/startup_probe" "$build/mic_feeder"; do
  [ -x "$exe" ] || { echo "missing $exe (configure with -DDR_BUILD_BENCH=ON)" >&2; exit 2; }
done

scratch=$(mktemp -d)
feeder_pid=
speaker_pid=
cleanup() {
  [ -n "$feeder_pid" ] && kill "$feeder_pid" 2>/dev/null || true
  [ -n "$speaker_pid" ] && kill "$speaker_pid" 2>/dev/null && pkill -P "$speaker_pid" pacat 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export NO_AT_BRIDGE=1 GTK_A11Y=none

# min/median/max of the numbers on standard input, with $1 decimals (1 unless told).
stats() {
  sort -g | awk -v d="${1:-1}" '{ v[NR] = $1 } END {
    if (NR == 0) { print "n/a"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    f = "%." d "f / %." d "f / %." d "f"
    printf f, v[1], m, v[NR] }'
}
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print 0; exit }
    print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "n/a" }'; }

# A fresh settings folder whose start-up action loads the file $1.
settings_loading() {
  local cfg="$scratch/config-$RANDOM$RANDOM"
  mkdir -p "$cfg/Dravellin Software"
  printf '[Common]\nLoader=2\nLastFile=%s\n[Record]\nBitrate=10\nStereo mode=1\nSampleFreq=3\nAuto freq=0\n' "$1" \
    > "$cfg/Dravellin Software/dravellin-recorder.conf"
  echo "$cfg"
}

# The program's window, once it is shown.
window_of() {
  local pid=$1 w
  for _ in $(seq 1 200); do
    w=$(xdotool search --all --onlyvisible --pid "$pid" --name "Dravellin Recorder" 2>/dev/null | head -n1 || true)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.05
  done
  return 1
}
# A key pressed at the program's window the way a user's would be (XTest, window focused).
key() { xdotool windowactivate --sync "$1" key "$2" 2>/dev/null || xdotool key "$2"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# A 10 s tone file to load, and PCM for the disk driver's input.
sox -n -r 44100 -c 2 -b 16 -e signed-integer -L "$scratch/tone.raw" synth 200 sine 440 sine 660 vol 0.5
head -c $((10 * 44100 * 4)) "$scratch/tone.raw" > "$scratch/ten.raw"
lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -b 128 --cbr "$scratch/ten.raw" "$scratch/ten.mp3" 2>/dev/null


# ---------------------------------------------------------------------------------------------
# One run of the user-interface steps: play the loaded file, pause, record 3 s (which destroys
# the player), stop, play again, quit (which destroys the player). Appends the trace to $1.
ui_run() {
  local trace=$1 cfg pid w
  shift
  cfg=$(settings_loading "$scratch/ten-$RANDOM$RANDOM.mp3")
  cp "$scratch/ten.mp3" "$(sed -n 's/^LastFile=//p' "$cfg/Dravellin Software/dravellin-recorder.conf")"
  XDG_CONFIG_HOME="$cfg" DR_TRACE_UI=1 "$@" "$program" 2>"$scratch/run.log" &
  pid=$!
  w=$(window_of "$pid") || { echo "  (no window)"; kill "$pid"; return; }
  sleep 0.5
  key "$w" space; sleep 1.5
  key "$w" space; sleep 0.3
  key "$w" Return; sleep 3
  key "$w" Return; sleep 1
  key "$w" space; sleep 1
  key "$w" space; sleep 0.3
  key "$w" alt+F4
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  grep '^dr-trace ' "$scratch/run.log" >>"$trace" || true
}

ui_report() {
  local trace=$1
  # The first player-destroy of a run is at the record press, the last at exit.
  printf '  pressing Record (destroys the played player, opens the capture), ms  %s   (goal < 30)\n' \
    "$(awk '$2 == "record-start" { print $3 }' "$trace" | stats)"
  printf '  destroying a player that has played (record press and exit), ms     %s   (goal < 30)\n' \
    "$(awk '$2 == "player-destroy" { print $3 }' "$trace" | stats)"
  printf '  Stop (designed 700 ms wait + closing the capture + reload), ms     %s   (anchor 700)\n' \
    "$(awk '$2 == "record-stop" { print $3 }' "$trace" | stats)"
  # Each run presses Space four times: play, stop, play, stop.
  printf '  Play pressed (the first loads the sound library and opens the output), ms %s   (goal < 30)\n' \
    "$(awk '$2 == "play-press" { if (n++ % 2 == 0) print $3 }' "$trace" | stats)"
  printf '  Stop pressed while playing, ms                                      %s   (goal < 30)\n' \
    "$(awk '$2 == "play-press" { if (n++ % 2 == 1) print $3 }' "$trace" | stats)"
  printf '    of which asking the sound server for the playback stream, ms      %s\n' \
    "$(awk '$2 == "play-open-output" { print $3 }' "$trace" | stats)"
  printf '    of which closing the playback stream, ms                          %s\n' \
    "$(awk '$2 == "play-close-output" { print $3 }' "$trace" | stats)"
  printf '    of which loading SDL, ms                                          %s\n' \
    "$(awk '$2 == "sdl-load" { print $3 }' "$trace" | stats)"
  printf '    of which starting its audio subsystem, ms                         %s\n' \
    "$(awk '$2 == "sdl-init-audio" { print $3 }' "$trace" | stats)"
  printf '  reloading the file after a recording, ms                            %s\n' \
    "$(awk '$2 == "file-load" { print $3 }' "$trace" | stats)"
  printf '  input overruns per recording                                        %s\n' \
    "$(awk '$2 == "record-overruns" { print $3 }' "$trace" | stats)"
}

cpu_only=${BENCH_CPU_ONLY:-0}
if [ "$part" = disk ]; then
echo "== responsiveness: $runs runs each; load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"

if [ "$cpu_only" != 1 ]; then
# ---------------------------------------------------------------------------------------------
echo
echo "-- start-up (disk driver, nothing loaded): time to the window mapped, resident memory 1 s later"
: >"$scratch/ours.txt"
: >"$scratch/bare.txt"
# One discarded round first: the first start after the display came up loads more (GL).
for run in $(seq 0 "$runs"); do
  cfg="$scratch/config-empty-$RANDOM$RANDOM"
  mkdir -p "$cfg"
  o=$(XDG_CONFIG_HOME="$cfg" SDL_AUDIODRIVER=disk "$build/startup_probe" 1000 "$program")
  b=$(XDG_CONFIG_HOME="$cfg" "$build/startup_probe" 1000 "$build/bare_frame")
  [ "$run" -gt 0 ] || continue
  echo "$o" >>"$scratch/ours.txt"
  echo "$b" >>"$scratch/bare.txt"
done
om=$(cut -d' ' -f1 "$scratch/ours.txt" | median)
bm=$(cut -d' ' -f1 "$scratch/bare.txt" | median)
printf '  window mapped, ms   ours %s   bare frame %s   ratio of medians %s (goal <= 1.2x)\n' \
  "$(cut -d' ' -f1 "$scratch/ours.txt" | stats)" "$(cut -d' ' -f1 "$scratch/bare.txt" | stats)" "$(ratio "$om" "$bm")"
orss=$(cut -d' ' -f2 "$scratch/ours.txt" | awk '{ print $1 / 1024 }' | median)
brss=$(cut -d' ' -f2 "$scratch/bare.txt" | awk '{ print $1 / 1024 }' | median)
printf '  resident memory, MB ours %s   bare frame %s   ratio of medians %s (goal <= 1.15x)\n' \
  "$(cut -d' ' -f2 "$scratch/ours.txt" | awk '{ print $1 / 1024 }' | stats)" \
  "$(cut -d' ' -f2 "$scratch/bare.txt" | awk '{ print $1 / 1024 }' | stats)" "$(ratio "$orss" "$brss")"

echo
echo "-- user-interface steps, disk driver"
: >"$scratch/disk.trace"
for _ in $(seq 1 "$runs"); do
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIOFILEIN="$scratch/tone.raw" ui_run "$scratch/disk.trace"
done
ui_report "$scratch/disk.trace"
fi

for part in ${BENCH_SERVERS:-pulse pipewire}; do
  echo
  DR_BENCH_PART=$part "$here/scripts/with-$part" "$0" "$build" "$record_seconds" ||
    echo "-- $part: not measured (exit status $?)"
done
exit 0
fi

# ---------------------------------------------------------------------------------------------
# Inside with-pulse or with-pipewire.
# The program as a user runs it: no SDL driver chosen (run-bench chooses the disk driver).
program_env=(env -u SDL_AUDIODRIVER)
client="the program's own sound-server client"
if [ "${BENCH_SDL_PULSE:-0}" = 1 ]; then
  program_env=(env SDL_AUDIODRIVER=pulseaudio)
  client="SDL's PulseAudio driver"
fi
"$build/mic_feeder" "$DR_PULSE_MIC_FIFO" "$DR_PULSE_RATE" "$DR_PULSE_CHANNELS" &
feeder_pid=$!
if [ "$cpu_only" != 1 ]; then
echo "-- user-interface steps, $server through $client (private server: FIFO-fed microphone, null speaker)"
: >"$scratch/server.trace"
for _ in $(seq 1 "$runs"); do
  ui_run "$scratch/server.trace" "${program_env[@]}"
done
ui_report "$scratch/server.trace"
fi

# BENCH_UI_ONLY=1 stops here: the user-interface steps only, without the recording CPU.
[ "${BENCH_UI_ONLY:-0}" = 1 ] && exit 0

# ---------------------------------------------------------------------------------------------
# CPU ticks and wake-ups (voluntary context switches: each a sleep the thread chose, then a
# wake-up) of each thread of process $1:
# "tid ticks wake-ups comm" lines.
thread_ticks() {
  local t st
  for t in /proc/"$1"/task/*; do
    st=$(cat "$t/stat" 2>/dev/null) || continue
    # The name in parentheses may hold spaces: the fields after it are counted from its end.
    printf '%s %s %s %s\n' "${t##*/}" "$(awk '{ print $12 + $13 }' <<<"${st##*) }")" \
      "$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status" 2>/dev/null)" \
      "$(cat "$t/comm" 2>/dev/null)"
  done
}
# The ticks each kind of thread spent between the two thread_ticks files $2 and $3 of process $1,
# as "window loop encoder sdl other" ($4 "switches" counts their wake-ups instead of ticks):
# threads started in between count from zero.
thread_split() {
  awk -v pid="$1" -v field="${4:-ticks}" '
    FNR == NR { was[$1] = (field == "switches") ? $3 : $2; next }
    { t = ((field == "switches") ? $3 : $2) - was[$1]; c = $4
      if ($1 == pid) k = "window"
      else if (c == "threaded-ml") k = "loop"
      else if (c ~ /^SDL/) k = "sdl"
      else if (c ~ /^(gmain|gdbus|pool|dconf)/) k = "other"
      else k = "encoder"
      n[k] += t }
    END { printf "%d %d %d %d %d\n", n["window"], n["loop"], n["encoder"], n["sdl"], n["other"] }' "$2" "$3"
}
lame_cpu() {
  TIMEFORMAT='%U %S'
  { time lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 256 --cbr --nores -t \
      "$1" "$scratch/lame.mp3" 2>/dev/null ; } 2>&1 | tail -n1 | awk '{ printf "%.3f\n", $1 + $2 }'
}

# BENCH_FLOOR=1: anchors for the recording's cost besides encoding, over record_seconds: the
# sound server's own client (parec) reading each source the recording reads at the fragment the
# program asks for (100 ms), what reading the sources costs a client that does nothing else
# with them (not a strict floor: its reads are its own); a bare wxWidgets frame
# redrawing a picture of the level meter's size ten times a second the toolkit's plain way
# (refresh and paint); and a bare frame whose timer wakes it as often but draws nothing (what
# the level meter's ten ticks a second cost before anything is drawn).
# Appends "parec-ticks frame-ticks waking-frame-ticks".
floor_run() {
  local pids=() p sources=("${PULSE_SOURCE:-$(pactl get-default-source)}") before=() frame fb waking wb i pt=0
  [ -n "$second_source" ] && sources+=("$second_source")
  for i in "${sources[@]}"; do
    parec --raw --device="$i" --latency-msec=100 --format=s16le --rate=44100 --channels=2 >/dev/null &
    pids+=($!)
  done
  "$build/bare_frame" --tick &
  frame=$!
  "$build/bare_frame" --wake &
  waking=$!
  sleep 2
  for p in "${pids[@]}"; do before+=("$(cpu_ticks "$p")"); done
  fb=$(cpu_ticks "$frame")
  wb=$(cpu_ticks "$waking")
  sleep "$record_seconds"
  for i in "${!pids[@]}"; do pt=$((pt + $(cpu_ticks "${pids[$i]}") - before[i])); done
  echo "$pt $(($(cpu_ticks "$frame") - fb)) $(($(cpu_ticks "$waking") - wb))" >>"$scratch/floor.txt"
  kill "${pids[@]}" "$frame" "$waking" 2>/dev/null || true
  wait "${pids[@]}" "$frame" "$waking" 2>/dev/null || true
}

# CPU of RUNS recordings of record_seconds each from the server's default microphone (or the
# source PULSE_SOURCE names), whole program, against lame encoding record_seconds of the test
# tone and of $1, the PCM the microphone gives.
cpu_runs() {
  local same=$1
  : >"$scratch/cpu.txt"
  : >"$scratch/split.txt"
  : >"$scratch/wakes.txt"
  : >"$scratch/lame.txt"
  : >"$scratch/lame-same.txt"
  : >"$scratch/rec.trace"
  : >"$scratch/floor.txt"
  for _ in $(seq 1 "$runs"); do
    cfg="$scratch/config-rec-$RANDOM$RANDOM"
    mkdir -p "$cfg/Dravellin Software"
    file="$scratch/rec-$RANDOM.mp3"
    : >"$file"
    printf '[Common]\nLoader=2\nLastFile=%s\n[Record]\nBitrate=10\nStereo mode=1\nSampleFreq=3\nAuto freq=0\nSecondSource=%s\nSourcesApart=%s\n' \
      "$file" "$second_source" "$sources_apart" >"$cfg/Dravellin Software/dravellin-recorder.conf"
    XDG_CONFIG_HOME="$cfg" DR_TRACE_UI=1 "${program_env[@]}" "$program" 2>"$scratch/run.log" &
    pid=$!
    w=$(window_of "$pid") || { echo "  (no window)"; kill "$pid"; continue; }
    sleep 0.5
    thread_ticks "$pid" >"$scratch/threads.before"
    before=$(cpu_ticks "$pid")
    key "$w" Return
    if [ "${BENCH_PERF:-0}" = 1 ]; then
      # BENCH_PERF_KEEP=<folder> records call graphs too and keeps each profile there.
      local graph=()
      [ -n "${BENCH_PERF_KEEP:-}" ] && graph=(--call-graph dwarf,8192 -F 1999)
      perf record -q -F 499 "${graph[@]}" -p "$pid" -o "$scratch/perf.data" -- sleep "$record_seconds" >/dev/null 2>&1
      if [ -n "${BENCH_PERF_KEEP:-}" ]; then
        mkdir -p "$BENCH_PERF_KEEP"
        cp "$scratch/perf.data" "$BENCH_PERF_KEEP/perf-$part-${BENCH_SECOND:-one}-$RANDOM.data"
      fi
      # By library, then the functions outside the encoder's library (which has no symbols).
      perf report -q -g none -i "$scratch/perf.data" --sort dso --percent-limit 0.5 2>/dev/null | grep -v '^$' |
        sed 's/^/      perf: /' || true
      perf report -q -g none -i "$scratch/perf.data" --sort dso,symbol --percent-limit 0.4 2>/dev/null |
        grep -v '^$' | grep -v libmp3lame | head -20 | cut -c1-110 | sed 's/^/      perf: /' || true
    else
      sleep "$record_seconds"
    fi
    thread_ticks "$pid" >"$scratch/threads.stop"
    stop=$(cpu_ticks "$pid")
    key "$w" Return
    sleep 1
    after=$(cpu_ticks "$pid")
    key "$w" alt+F4
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep '^dr-trace ' "$scratch/run.log" >>"$scratch/rec.trace" || true
    awk -v a="$after" -v b="$before" -v hz="$hz" 'BEGIN { printf "%.3f\n", (a - b) / hz }' >>"$scratch/cpu.txt"
    # Per thread over the recording, and the rest: Record, Stop and what ended before Stop.
    echo "$(thread_split "$pid" "$scratch/threads.before" "$scratch/threads.stop") $((after - stop))" >>"$scratch/split.txt"
    thread_split "$pid" "$scratch/threads.before" "$scratch/threads.stop" switches >>"$scratch/wakes.txt"
    lame_cpu "$scratch/cut.raw" >>"$scratch/lame.txt"
    lame_cpu "$same" >>"$scratch/lame-same.txt"
    if [ "${BENCH_FLOOR:-0}" = 1 ]; then floor_run; fi
  done
  cm=$(median <"$scratch/cpu.txt")
  lm=$(median <"$scratch/lame.txt")
  sm=$(median <"$scratch/lame-same.txt")
  printf '  whole program, CPU s   %s   lame on the test tone %s   ratio of medians %s\n' \
    "$(stats 2 <"$scratch/cpu.txt")" "$(stats 2 <"$scratch/lame.txt")" "$(ratio "$cm" "$lm")"
  printf '    lame on the PCM the microphone gives %s   ratio of medians %s (goal: at most 1.25x lame, 1.3x for a source that delivers 10 ms blocks)\n' \
    "$(stats 2 <"$scratch/lame-same.txt")" "$(ratio "$cm" "$sm")"
  printf '  per minute of recording: ours %s s, lame %s s (test tone), %s s (same PCM)\n' \
    "$(awk -v c="$cm" -v s="$record_seconds" 'BEGIN { printf "%.2f", c * 60 / s }')" \
    "$(awk -v c="$lm" -v s="$record_seconds" 'BEGIN { printf "%.2f", c * 60 / s }')" \
    "$(awk -v c="$sm" -v s="$record_seconds" 'BEGIN { printf "%.2f", c * 60 / s }')"
  local column name
  column=1
  for name in "window's thread" "sound-server loop thread" "encoding thread" "SDL's threads" "other threads" \
    "Record and Stop"; do
    printf '    %-28s CPU s %s' "$name" "$(awk -v c="$column" -v hz="$hz" '{ print $c / hz }' "$scratch/split.txt" | stats 2)"
    # Each time a thread sleeps and wakes costs the kernel's and its loop's work, whatever it did.
    [ "$column" -le 5 ] && printf '   wake-ups a second %s' \
      "$(awk -v c="$column" -v s="$record_seconds" '{ print $c / s }' "$scratch/wakes.txt" | stats 1)"
    printf '\n'
    column=$((column + 1))
  done
  if [ "${BENCH_FLOOR:-0}" = 1 ]; then
    local pm
    pm=$(awk -v hz="$hz" '{ print $1 / hz }' "$scratch/floor.txt" | median)
    printf '  the server'"'"'s own client alone (parec, 100 ms fragments), CPU s %s: with lame on the same PCM %s lame\n' \
      "$(awk -v hz="$hz" '{ print $1 / hz }' "$scratch/floor.txt" | stats 2)" \
      "$(ratio "$(awk -v s="$sm" -v p="$pm" 'BEGIN { print s + p }')" "$sm")"
    printf '  a bare frame redrawing a meter-sized picture ten times a second the toolkit'"'"'s plain way, CPU s %s\n' \
      "$(awk -v hz="$hz" '{ print $2 / hz }' "$scratch/floor.txt" | stats 2)"
    printf '  a bare frame woken ten times a second that draws nothing, CPU s %s: %s lame\n' \
      "$(awk -v hz="$hz" '{ print $3 / hz }' "$scratch/floor.txt" | stats 2)" \
      "$(ratio "$(awk -v hz="$hz" '{ print $3 / hz }' "$scratch/floor.txt" | median)" "$sm")"
  fi
  printf '  input overruns per recording   %s\n' "$(awk '$2 == "record-overruns" { print $3 }' "$scratch/rec.trace" | stats)"
  printf '  pressing Record, ms the window is blocked (goal: under 30 ms) %s\n' \
    "$(awk '$2 == "record-start" { print $3 }' "$scratch/rec.trace" | stats)"
}

# BENCH_SECOND=mixed or apart records a second source too: the test speaker's monitor, which
# plays the test tone throughout, mixed with the microphone or each in its own channel (the
# anchors stay one source's PCM: the goal for two is 1.5x lame).
second_source=
sources_apart=0
case "${BENCH_SECOND:-}" in
  mixed|apart)
    second_source=$DR_PULSE_MONITOR
    [ "$BENCH_SECOND" = apart ] && sources_apart=1
    ( while :; do pacat --playback --device="$DR_PULSE_SINK" --rate=44100 --channels=2 --format=s16le \
        "$scratch/tone.raw" || exit; done ) &
    speaker_pid=$!
    ;;
esac

# What the FIFO's microphone plays (BENCH_SIGNAL): the test tone, whose dither stands for a real
# microphone's noise floor (the default), or a pure sine the same on both channels, which LAME
# encodes with about a third less work than anything with noise in it.
signal=${BENCH_SIGNAL:-tone}
# Restarts the FIFO's feeder with blocks of $1 ms.
feed() {
  kill "$feeder_pid" 2>/dev/null || true
  wait "$feeder_pid" 2>/dev/null || true
  if [ "$signal" = sine ]; then
    "$build/mic_feeder" "$DR_PULSE_MIC_FIFO" "$DR_PULSE_RATE" "$DR_PULSE_CHANNELS" "$1" &
  else
    "$build/mic_feeder" "$DR_PULSE_MIC_FIFO" "$DR_PULSE_RATE" "$DR_PULSE_CHANNELS" "$1" "$scratch/tone.raw" &
  fi
  feeder_pid=$!
}

hz=$(getconf CLK_TCK)
head -c $((record_seconds * 44100 * 4)) "$scratch/tone.raw" >"$scratch/cut.raw"
# The PCM the FIFO gives: the sine exactly, or the test tone (the recording gets another stretch
# of it than the anchor, which costs LAME the same to within half a percent).
if [ "$signal" = sine ]; then
  "$build/mic_feeder" --dump "$record_seconds" "$DR_PULSE_RATE" "$DR_PULSE_CHANNELS" >"$scratch/fifo.raw"
else
  cp "$scratch/cut.raw" "$scratch/fifo.raw"
fi
echo
echo "-- CPU of a ${record_seconds} s recording, 256 kbps stereo 44.1 kHz, through $server ($client)"
echo "   FIFO microphone's signal: $signal"
for source in ${BENCH_FEEDS:-10 100 sine}; do
  case "$source" in
  10)
    feed 10
    if [ "$part" = pipewire ]; then
      echo "   microphone: the FIFO-fed source, fed 10 ms at a time (PipeWire's graph runs in cycles of 1024 frames whatever the block)"
    else
      echo "   microphone: the FIFO-fed source, fed 10 ms at a time (PulseAudio posts every write: 100 wake-ups a second)"
    fi
    cpu_runs "$scratch/fifo.raw"
    ;;
  100)
    # A sound card's source under PulseAudio's timer scheduling (or PipeWire) delivers blocks
    # of about the fragment the stream asked for (100 ms here): the same FIFO, fed 100 ms at a
    # time.
    feed 100
    echo "   microphone: the FIFO-fed source, fed 100 ms at a time (a sound card's source at the stream's fragment)"
    cpu_runs "$scratch/fifo.raw"
    ;;
  sine)
    # The other extreme: PulseAudio's sine source hands over two seconds at a time, so the
    # capture thread wakes about once a second (with-pipewire adds a microphone that does the
    # same). Its PCM for the anchor is captured once.
    sine=
    if [ "$part" = pipewire ]; then
      "$DR_PULSE_CONTROL" --add-slow-microphone dr_sine
    else
      sine=$(pactl load-module module-sine-source source_name=dr_sine rate=44100 frequency=440)
    fi
    timeout "$((record_seconds + 5))" parecord --raw --device=dr_sine --format=s16le --rate=44100 --channels=2 \
      "$scratch/sine-all.raw" || true
    head -c $((record_seconds * 44100 * 4)) "$scratch/sine-all.raw" >"$scratch/sine.raw"
    echo "   microphone: a sine source that delivers two seconds at a time"
    PULSE_SOURCE=dr_sine cpu_runs "$scratch/sine.raw"
    [ -z "$sine" ] || pactl unload-module "$sine" 2>/dev/null || true
    ;;
  esac
  echo
done
