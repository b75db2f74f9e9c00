#!/usr/bin/env bash
# The Windows build used as a Windows user would, under Wine on the display and PulseAudio that
# scripts/test-windows starts (with-display, with-pulse, with-own-home): installs it silently
# into a fresh prefix, starts it on a Cyrillic file name with spaces, records 3 s of a tone
# through the audio engine's capture stream (Wine's PulseAudio driver; the tone comes from a null sink's
# monitor fed by paplay), plays it to the null speaker and hears it on its monitor, switches
# automatic start on and off in the settings sheet and reads the registry with `wine reg`,
# drives the running program with --status, --record and --stop and its global key (and a key
# another program holds is refused with a message), kills the program mid-recording and appends
# to the file it left, refuses a lame_enc.dll from the current folder and says so when there is
# no input device, ends the session mid-recording (the window closes as a user's close does, and
# the file holds every second recorded), lists the sources with --list-sources (and refuses with
# no sound driver), stores a source chosen on the Sources page by its endpoint ID with its name
# kept whole, and uninstalls. Given the sound input's own test
# (tests/windows/WasapiInputTest.cpp), runs it first on the same tone and a second endpoint.
# Usage: wine_test.sh <installer.exe> [wasapi-input-test.exe]
set -euo pipefail
installer=$(readlink -f "$1")
device_test=${2:+$(readlink -f "$2")}
work=$(mktemp -d)
shots=${DR_TEST_ARTIFACTS:-$work}
mkdir -p "$shots"
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
# True while this test's own program runs: a process named so whose Wine prefix is this test's
# (other Wine programs on the machine are none of this test's business).
own_program_running() {
  local pid
  for pid in $(pgrep -f 'dravellin-recorder.exe'); do
    tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
# No menu entries in $HOME, no prompts for Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
tone_pid=
second_pid=
apart_feeders=
cleanup() {
  [ -n "$tone_pid" ] && kill "$tone_pid" 2>/dev/null || true
  [ -n "$second_pid" ] && kill "$second_pid" 2>/dev/null || true
  [ -n "$apart_feeders" ] && kill $apart_feeders 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "wine_test: $1 (${SECONDS} s)"; }
regq() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
# A key as `reg export` writes it (UTF-16, so any text survives), in UTF-8.
regexport() { wine reg export "$1" "$work/key.reg" /y >/dev/null 2>&1; iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r'; }

# The microphone: a 1 kHz tone played into a null sink whose monitor is the default source; a
# second one (440 Hz at 0.25) for the sound input's own test.
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 600 sine 1000 vol 0.5 2>/dev/null
sox -n -r 44100 -c 2 -b 16 "$work/second.wav" synth 600 sine 440 vol 0.25 2>/dev/null
feed() {
  pactl load-module module-null-sink sink_name=dr_tone rate=44100 channels=2 >/dev/null
  pactl set-default-source dr_tone.monitor
  paplay --device=dr_tone "$work/tone.wav" &
  tone_pid=$!
  plug
}
plug() {
  second_module=$(pactl load-module module-null-sink sink_name=dr_second rate=44100 channels=2 \
    sink_properties=device.description=DrSecond)
  paplay --device=dr_second "$work/second.wav" &
  second_pid=$!
}
feed

# has_tone WAV: the 1 kHz tone is there, loud, and most of what is heard (silence around it
# does not count).
rms() { sox "$@" stat 2>&1 | awk '/RMS     amplitude/ {print $3}'; }
has_tone() {
  awk -v all="$(rms "$1" -n)" -v band="$(rms "$1" -n sinc 700-1400)" \
    'BEGIN { exit !(band > 0.03 && band > 0.8 * all) }'
}

wineboot --init >/dev/null 2>&1
wineserver -w
step "fresh prefix"

# The sound input on Wine's audio engine: the default endpoint, a second one chosen by its ID,
# unplugged (its module unloaded) and opened again by its ID once it is back, a missing ID, a
# new default followed. The program asks for the server's changes through the file "ask".
if [ -n "$device_test" ]; then
  cp "$device_test" "$work/"
  (cd "$work" && wine "$(basename "$device_test")" | tr -d '\r' > "$work/input-test.log") &
  input_test=$!
  while kill -0 "$input_test" 2>/dev/null; do
    if [ -f "$work/ask" ]; then
      case $(tr -d '\r' < "$work/ask") in
        unplug) kill "$second_pid"; pactl unload-module "$second_module" ;;
        plug) plug ;;
        hush) kill "$second_pid" ;;
        play) paplay --device=dr_second "$work/second.wav" & second_pid=$! ;;
      esac
      rm -f "$work/ask"
    fi
    sleep 0.05
  done
  wait "$input_test" && ok=1 || ok=0
  cat "$work/input-test.log"
  [ "$ok" = 1 ] || fail "the sound input's own test failed"
  step "sound input: endpoints by default and by ID, unplugged and back, a new default"
fi

# Install: files, shortcut, uninstall entry.
wine "$installer" /S
wineserver -w
users=$WINEPREFIX/drive_c/users
exe=$(find "$users" -path '*/AppData/Local/Programs/Dravellin Recorder/dravellin-recorder.exe' | head -n 1)
[ -n "$exe" ] || fail "the installer installed no program"
dir=$(dirname "$exe")
for f in lame_enc.dll uninstall.exe dravellin-recorder.ico; do [ -f "$dir/$f" ] || fail "no $f installed"; done
shortcut=$(find "$users" -path '*/Start Menu/Programs/Dravellin Recorder.lnk' | head -n 1)
[ -n "$shortcut" ] || fail "no Start-menu shortcut"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\DravellinRecorder'
entry=$(regq "$uninstall_key")
for v in 'DisplayName    REG_SZ    Dravellin Recorder' 'Publisher    REG_SZ    Dravellin Software' \
         'DisplayVersion    REG_SZ' 'DisplayIcon    REG_SZ' 'EstimatedSize    REG_DWORD' 'UninstallString    REG_SZ'; do
  grep -qF "$v" <<<"$entry" || fail "the uninstall entry lacks '$v': $entry"
done
# Installed again over itself (an upgrade in place): the same files, one entry.
wine "$installer" /S
wineserver -w
[ -f "$exe" ] && [ -f "$dir/lame_enc.dll" ] || fail "installing again lost the program"
[ "$(regq 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' | grep -c DravellinRecorder)" = 1 ] ||
  fail "installing again made a second uninstall entry"
step "installed, and again over itself"

# --list-sources from a prompt: the audio engine's endpoints by their IDs, the test microphone
# (with-pulse's FIFO source) by name, the speaker's loopback as "Звук компьютера: …", and a
# device named in Cyrillic and emoji, 200 characters long, whole.
long="Колонки-😀-$(printf 'x%.0s' $(seq 1 190))"
pactl load-module module-null-sink sink_name=dr_long "sink_properties=device.description=$long" >/dev/null
list=$(wine "$exe" --list-sources 2>"$work/list.err" | tr -d '\r') || fail "--list-sources exited $?: $(cat "$work/list.err")"
id='\{0\.0\.[01]\.[0-9]+\}\.\{[0-9A-F-]{36}\}'
head -n 1 <<<"$list" | grep -qE $'^\tПо умолчанию \\(.+\\)$' || fail "--list-sources begins with no default entry: $list"
tail -n +2 <<<"$list" | grep -vqE "^$id"$'\t' && fail "--list-sources has a value that is no endpoint ID: $list"
grep -qE "^\{0\.0\.1\.[0-9]+\}\.\{[0-9A-F-]{36}\}"$'\tUnix FIFO source ' <<<"$list" || fail "no test microphone listed: $list"
grep -qE "^\{0\.0\.0\.[0-9]+\}\.\{[0-9A-F-]{36}\}"$'\tЗвук компьютера: Null Output$' <<<"$list" || fail "no test speaker listed: $list"
grep -qF $'\tЗвук компьютера: '"$long" <<<"$list" || fail "the long Cyrillic name is not whole: $list"
# No sound driver (no audio service to ask): exit 1 with the reason, nothing listed.
code=0
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winepulse.drv=d;winealsa.drv=d;wineoss.drv=d" \
  wine "$exe" --list-sources >"$work/list.out" 2>"$work/list.err" || code=$?
[ "$code" = 1 ] && [ ! -s "$work/list.out" ] && grep -q 'cannot list the sound sources: ' "$work/list.err" ||
  fail "--list-sources with no sound driver exited $code: $(cat "$work/list.out" "$work/list.err")"
step "--list-sources: $(($(wc -l <<<"$list") - 1)) endpoints"

# A recording file in a Cyrillic folder with spaces, named on the command line.
folder="$users/$(id -un)/Мои записи"
mkdir -p "$folder"
mp3="$folder/запись 1.mp3"
: >"$mp3"
winfile='C:\users\'"$(id -un)"'\Мои записи\запись 1.mp3'
start() {  # [folder] [DLL overrides] [Windows path of the file to open]
  local file=${3:-$winfile}
  local title="${file##*\\} - Dravellin Recorder"
  (cd "${1:-$work}" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES${2:-}" exec wine "$exe" "$file" >/dev/null 2>&1) &
  win=
  for _ in $(seq 1 200); do
    win=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "no window titled '$title'"
  # The window shows before the program has finished starting (the icon, the commands' window).
  sleep 1
}
key() {
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  xdotool key "$@"
}
seconds_of() { soxi -D "$1" 2>/dev/null || echo 0; }
start
step "started"
import -window root "$shots/wine-window.png"
settings='HKCU\Software\Dravellin Software\dravellin-recorder'
regexport "$settings\\Common" | grep -qxF "\"LastFile\"=\"${winfile//\\/\\\\}\"" ||
  fail "LastFile is not the Cyrillic path as REG_SZ: $(regexport "$settings\\Common")"

# record SECONDS: Enter, SECONDS from the first sound written, Enter.
record() {
  local size
  size=$(stat -c %s "$mp3")
  key Return
  for _ in $(seq 1 100); do [ "$(stat -c %s "$mp3")" -gt "$size" ] && break; sleep 0.05; done
  sleep "$1"
  key Return
}

# Record 3 s; an independent decoder finds the tone.
record 3
for _ in $(seq 1 50); do [ "$(stat -c %s "$mp3")" -gt 8000 ] && break; sleep 0.1; done
mpg123 -q -w "$work/recorded.wav" "$mp3" 2>/dev/null || fail "mpg123 cannot decode the recording"
seconds=$(seconds_of "$work/recorded.wav")
awk -v s="$seconds" 'BEGIN { exit !(s > 2.5 && s < 4.5) }' || fail "the recording lasts $seconds s, expected 3"
has_tone "$work/recorded.wav" || fail "no 1 kHz tone in the recording"
step "recorded ${seconds} s"

# Play to the null speaker; its monitor hears the tone.
parecord --device=dr_speaker.monitor --file-format=wav "$work/heard.wav" &
listen=$!
key Home space
sleep 4.5
kill "$listen"; wait "$listen" 2>/dev/null || true
has_tone "$work/heard.wav" ||
  fail "the speaker's monitor did not hear the tone: $(sox "$work/heard.wav" -n stat 2>&1 | tr '\n' ' ')"
step "played"

# Settings sheet with keys: automatic start on writes "Palimbor" with the program's path, the
# setting as a DWORD; off deletes the value.
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
toggle_autostart() {
  key ctrl+p
  sheet=
  for _ in $(seq 1 50); do
    sheet=$(xdotool search --onlyvisible --name '^Свойства$' 2>/dev/null | head -n 1 || true)
    [ -n "$sheet" ] && break
    sleep 0.1
  done
  [ -n "$sheet" ] || fail "Ctrl+P did not open the settings sheet"
  xdotool windowactivate --sync "$sheet" >/dev/null 2>&1 || true
  sleep 0.5
  # Back from OK past the hotkey's choice and switch, the icon's switch and "minimised".
  xdotool key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space Return
  sleep 1
}
toggle_autostart
regq "$settings\\Common" /v Autorun | grep -q 'Autorun    REG_DWORD    0x1' || fail "Autorun is not DWORD 1"
regq "$run_key" /v Palimbor | grep -qF 'dravellin-recorder.exe' || fail "no Run value Palimbor with the program"
import -window root "$shots/wine-after-settings.png"
toggle_autostart
regq "$settings\\Common" /v Autorun | grep -q 'Autorun    REG_DWORD    0x0' || fail "Autorun is not DWORD 0"
regq "$run_key" /v Palimbor | grep -q Palimbor && fail "Palimbor is still in the Run key"
step "settings in the registry"

# Commands from another process to the running program (WM_COPYDATA): --status tells the truth,
# --record records (the file grows), --stop stops it (the file stays as it is).
send() { wine "$exe" "$@" 2>"$work/command.err" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# grows SECONDS: the file grows within SECONDS.
grows() {
  local size; size=$(stat -c %s "$mp3")
  for _ in $(seq 1 $(($1 * 10))); do sleep 0.1; [ "$(stat -c %s "$mp3")" -gt "$size" ] && return 0; done
  return 1
}
status=$(send --status) || fail "--status exited $?: $(cat "$work/command.err")"
[ "$status" = stopped ] || fail "--status said '$status' while stopped"
send --record >/dev/null || fail "--record exited $?: $(cat "$work/command.err")"
grows 5 || fail "--record did not record"
status=$(send --status)
[[ "$status" == "recording 0:00:0"?" C:\\users\\"*"\\запись 1.mp3" ]] || fail "--status said '$status' while recording"
send --stop >/dev/null || fail "--stop exited $?: $(cat "$work/command.err")"
sleep 0.5
grows 2 && fail "the file grows after --stop"
[ "$(send --status)" = stopped ] || fail "--status does not say stopped after --stop"
step "commands: --status, --record, --stop"

# The global key, set on the General page: its switch on with the first combination (Ctrl+Alt+R)
# is taken once the settings are saved, and it toggles recording. Ctrl+Shift+R (the next one)
# held by another program: saving says so in a message, and the setting is kept.
# sheet KEYS...: the settings sheet, KEYS from its OK button, OK.
sheet() {
  key ctrl+p
  for _ in $(seq 1 50); do xdotool search --onlyvisible --name '^Свойства$' >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 0.5
  xdotool key "$@" Return
  sleep 1
}
sheet shift+Tab shift+Tab space
import -window root "$shots/wine-hotkey-set.png"
regq "$settings\\Common" /v Hotkey | grep -q 'Hotkey    REG_SZ    Ctrl+Alt+R' ||
  fail "Hotkey is not Ctrl+Alt+R: $(regq "$settings\\Common" /v Hotkey)"
x86_64-w64-mingw32-gcc-posix -o "$work/hold_hotkey.exe" "$(dirname "$0")/hold_hotkey.c"
# Taken once the saved settings are looked at (from the main loop, just after the sheet closes).
taken=
for _ in $(seq 1 10); do
  wine "$work/hold_hotkey.exe" 3 R once >/dev/null 2>&1 || { taken=1; break; }
  sleep 0.3
done
[ -n "$taken" ] || fail "Ctrl+Alt+R was not taken by the program"
key ctrl+alt+r
grows 5 || fail "Ctrl+Alt+R did not start recording"
sleep 1
key ctrl+alt+r
sleep 1.5
grows 2 && fail "Ctrl+Alt+R again did not stop the recording"
wine "$work/hold_hotkey.exe" 6 R >"$work/hold.out" 2>/dev/null &
for _ in $(seq 1 100); do grep -q held "$work/hold.out" && break; sleep 0.1; done
grep -q held "$work/hold.out" || fail "the helper could not take Ctrl+Shift+R"
sheet shift+Tab Down
message=
for _ in $(seq 1 50); do
  message=$(xdotool search --onlyvisible --name '^dravellin-recorder$' 2>/dev/null | head -n 1 || true)
  [ -n "$message" ] && break
  sleep 0.1
done
[ -n "$message" ] || fail "no message that another program holds Ctrl+Shift+R"
import -window root "$shots/wine-hotkey-held.png"
xdotool windowactivate --sync "$message" >/dev/null 2>&1 || true
xdotool key Return
sleep 0.5
wine taskkill /F /IM hold_hotkey.exe >/dev/null 2>&1 || true
regq "$settings\\Common" /v Hotkey | grep -q 'Ctrl+Shift+R' ||
  fail "the refused Hotkey was not kept: $(regq "$settings\\Common" /v Hotkey)"
sheet shift+Tab shift+Tab space
regq "$settings\\Common" /v Hotkey | grep -q Ctrl && fail "the key's switch off left Hotkey set"
step "hotkey: taken and toggles, refused with a message when held"

# Killed mid-recording: the file decodes, and the next recording appends to it.
before=$(seconds_of "$work/recorded.wav")
size=$(stat -c %s "$mp3")
key Return
for _ in $(seq 1 100); do [ "$(stat -c %s "$mp3")" -gt "$size" ] && break; sleep 0.05; done
sleep 2.5
wine taskkill /F /IM dravellin-recorder.exe >/dev/null 2>&1
for _ in $(seq 1 50); do own_program_running || break; sleep 0.1; done
mpg123 -q -w "$work/killed.wav" "$mp3" 2>/dev/null || fail "the file left by the killed program does not decode"
killed=$(seconds_of "$work/killed.wav")
awk -v a="$killed" -v b="$before" 'BEGIN { exit !(a > b + 1) }' || fail "the killed recording kept nothing ($killed s)"
start
record 2
sleep 1
key alt+F4
wineserver -w
mpg123 -q -w "$work/appended.wav" "$mp3" 2>/dev/null || fail "the appended file does not decode"
appended=$(seconds_of "$work/appended.wav")
awk -v a="$appended" -v b="$killed" 'BEGIN { exit !(a > b + 1.5) }' || fail "nothing appended after the kill ($killed -> $appended s)"
has_tone "$work/appended.wav" || fail "no tone in the appended file"
step "killed and appended (${killed} -> ${appended} s)"

# record_refused WHAT: Record shows a message (caption: the program's name), the file stays.
record_refused() {
  local size message=
  size=$(stat -c %s "$mp3")
  key Return
  for _ in $(seq 1 50); do
    message=$(xdotool search --onlyvisible --name '^dravellin-recorder$' 2>/dev/null | head -n 1 || true)
    [ -n "$message" ] && break
    sleep 0.1
  done
  [ -n "$message" ] || fail "Record $1 showed no message"
  import -window root "$shots/wine-$2.png"
  xdotool windowactivate --sync "$message" >/dev/null 2>&1 || true
  xdotool key Return
  sleep 0.5
  key alt+F4
  wineserver -w
  [ "$(stat -c %s "$mp3")" = "$size" ] || fail "the file changed although Record $1"
}
# lame_enc.dll gone from beside the program, one in the current folder: that one is never loaded.
mv "$dir/lame_enc.dll" "$work/lame_enc.dll"
start "$work"
record_refused "without lame_enc.dll beside the program" no-library
mv "$work/lame_enc.dll" "$dir/lame_enc.dll"
# No sound driver at all (Wine's null driver): the sound input cannot be opened.
start "$work" ";winepulse.drv=d;winealsa.drv=d;wineoss.drv=d"
record_refused "with no capture endpoint" no-input
# An output endpoint chosen as the source is recorded by loopback, which Wine 8's engine refuses.
render=$(regq 'HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio\Render' |
  grep -o '{[0-9A-Fa-f-]*}$' | head -n 1)
[ -n "$render" ] || fail "Wine lists no output endpoint"
wine reg add "$settings\\Record" /v Source /t REG_SZ /d "{0.0.0.00000000}.$render" /f >/dev/null 2>&1
start "$work"
record_refused "with an output whose loopback is refused" refused-loopback
wine reg delete "$settings\\Record" /v Source /f >/dev/null 2>&1
step "lame_enc.dll only in the current folder, no input device, a refused loopback: messages, nothing recorded"

# The session ends mid-recording (WM_QUERYENDSESSION, WM_ENDSESSION): the window closes as a
# user's close does (it saves its position), and the handler waits for the writer before Windows
# may end the process: the file holds every second recorded. Those lie between the first sound
# written and the session's end being asked for (less 0.2 s), and between Return and the
# program's end (plus 0.2 s; a stop keeps what the input captured while it waited for its last
# block, after the window went): the end of the session took nothing recorded away.
mpg123 -q -w "$work/before.wav" "$mp3" 2>/dev/null || fail "the file does not decode before the session's end"
before=$(seconds_of "$work/before.wav")
start
size=$(stat -c %s "$mp3")
pressed=$(date +%s.%N)
key Return
for _ in $(seq 1 200); do [ "$(stat -c %s "$mp3")" -gt "$size" ] && break; sleep 0.02; done
first=$(date +%s.%N)
sleep 2
wine reg delete "$settings\\Common" /v x_screen /f >/dev/null 2>&1
asked=$(date +%s.%N)
wine wineboot --end-session --shutdown >/dev/null 2>&1 &
ender=$!
for _ in $(seq 1 500); do
  xdotool search --onlyvisible --name '^запись 1.mp3 - Dravellin Recorder$' >/dev/null 2>&1 || break
  sleep 0.02
done
for _ in $(seq 1 100); do own_program_running || break; sleep 0.1; done
own_program_running && fail "the program outlived the end of the session"
over=$(date +%s.%N)
wait "$ender" 2>/dev/null || true
wineserver -w
regq "$settings\\Common" /v x_screen | grep -q REG_DWORD || fail "the end of the session did not close the window"
mpg123 -q -w "$work/ended.wav" "$mp3" 2>/dev/null || fail "the recording ended by the session's end does not decode"
ended=$(awk -v a="$(seconds_of "$work/ended.wav")" -v b="$before" 'BEGIN { printf "%.2f", a - b }')
least=$(awk -v a="$asked" -v f="$first" 'BEGIN { printf "%.2f", a - f - 0.2 }')
most=$(awk -v o="$over" -v p="$pressed" 'BEGIN { printf "%.2f", o - p + 0.2 }')
awk -v e="$ended" -v l="$least" -v m="$most" 'BEGIN { exit !(e >= l && e <= m) }' ||
  fail "the session's end left ${ended} s of a recording of ${least} to ${most} s"
step "session ended mid-recording: closed, ${ended} s kept of ${least} to ${most} s"

# No program running: --status and --stop start nothing and exit 3 with "not running".
for option in --status --stop; do
  code=0; send "$option" >/dev/null || code=$?
  [ "$code" = 3 ] && grep -q 'not running' "$work/command.err" ||
    fail "$option with none running exited $code: $(cat "$work/command.err")"
done
own_program_running && fail "--status or --stop started the program"
step "commands with none running: exit 3"

# Two sources mixed: the default input (the 1 kHz tone at 0.5) and a second chosen by its endpoint
# ID (a null sink's monitor, which Wine 8 lists as a capture endpoint, playing 440 Hz at 0.25). An
# independent decoder finds each tone in the new part of the file at the level it was fed.
pactl load-module module-null-sink sink_name=dr_two rate=44100 channels=2 sink_properties=device.description=DrTwo >/dev/null
paplay --device=dr_two "$work/second.wav" &
two_pid=$!
two_list=$(wine "$exe" --list-sources 2>/dev/null | tr -d '\r')
two_id=$(grep -E '^\{0\.0\.1\.[0-9]+\}.*'$'\t''.*DrTwo' <<<"$two_list" | head -n 1 | cut -f 1)
[ -n "$two_id" ] || fail "the second source's endpoint is not listed: $two_list"
mpg123 -q -w "$work/before-two.wav" "$mp3" 2>/dev/null || fail "the file does not decode before two sources"
before=$(seconds_of "$work/before-two.wav")
wine reg add "$settings\\Record" /v SecondSource /t REG_SZ /d "$two_id" /f >/dev/null 2>&1
start
record 3
key alt+F4
wineserver -w
kill "$two_pid" 2>/dev/null || true
wine reg delete "$settings\\Record" /v SecondSource /f >/dev/null 2>&1
mpg123 -q -w "$work/two.wav" "$mp3" 2>/dev/null || fail "the two sources' recording does not decode"
sox "$work/two.wav" "$work/two-part.wav" trim "$(awk -v b="$before" 'BEGIN { print b + 0.3 }')" 2.2
# band RMS against the fed RMS (a sine at peak p: p / sqrt 2), in dB.
level_db() {
  awk -v r="$(rms "$work/two-part.wav" -n sinc "$1")" -v p="$2" 'BEGIN { printf "%.2f", 20 * log(r / (p / sqrt(2))) / log(10) }'
}
tone_db=$(level_db 800-1250 0.5)
second_db=$(level_db 330-560 0.25)
awk -v a="$tone_db" -v b="$second_db" 'BEGIN { exit !(a > -1.5 && a < 1.5 && b > -1.5 && b < 1.5) }' ||
  fail "two sources mixed: the first at ${tone_db} dB, the second at ${second_db} dB of what they were fed"
step "two sources mixed: ${tone_db} dB and ${second_db} dB of what each was fed"

# Apart, the second source's clock 0.5 % fast: two pipe sources, each fed a click every half
# second by mic_feeder, the second at 0.5 % more frames a second than it claims (a device whose
# clock runs fast), recorded apart for 20 s. Every click of the second source, in the right
# channel, is beside the first's in the left from its second second on: within 25 ms, and
# from its third second on their distance moves by at most 5 ms. (A drift left uncorrected
# would put them 100 ms apart by the end. Under Wine they stand 7 to 15 ms apart: Wine stamps
# each packet when it reads it, so neither input's latency is known, and the two feeders start
# a few milliseconds apart.)
here=$(cd "$(dirname "$0")/../.." && pwd)
cc -O2 -o "$work/mic_feeder" "$here/bench/mic_feeder.c" -lm || fail "mic_feeder does not build"
clicks() {  # FILE FRAMES-A-SECOND: 60 s of stereo silence with a click every half second of it
  perl -e '$r = shift; for $n (0 .. 60 * $r - 1) { $t = $n / $r + 0.25; $v = $t - int($t / 0.5) * 0.5 < 0.001 ? 24000 : 0;
    print pack("s<s<", $v, $v) }' "$2" > "$1"
}
clicks "$work/clicks-a.raw" 44100
clicks "$work/clicks-b.raw" 44321
apart_modules=
for name in a b; do
  apart_modules+=" $(pactl load-module module-pipe-source source_name=dr_click_$name file="$work/click-$name.fifo" \
    format=s16le rate=44100 channels=2 source_properties=device.description=DrClick${name^^})"
done
"$work/mic_feeder" "$work/click-a.fifo" 44100 2 10 "$work/clicks-a.raw" & apart_feeders+=" $!"
"$work/mic_feeder" "$work/click-b.fifo" 44321 2 10 "$work/clicks-b.raw" & apart_feeders+=" $!"
apart_list=$(wine "$exe" --list-sources 2>/dev/null | tr -d '\r')
a_id=$(grep -E $'\t''.*DrClickA' <<<"$apart_list" | head -n 1 | cut -f 1)
b_id=$(grep -E $'\t''.*DrClickB' <<<"$apart_list" | head -n 1 | cut -f 1)
[ -n "$a_id" ] && [ -n "$b_id" ] || fail "the click sources are not listed: $apart_list"
# A new empty file, recorded in stereo at 44.1 kHz and 128 kbps.
apart_values="Source SecondSource SourcesApart Stereo_mode Auto_freq SampleFreq Bitrate"
wine reg add "$settings\\Record" /v Source /t REG_SZ /d "$a_id" /f >/dev/null 2>&1
wine reg add "$settings\\Record" /v SecondSource /t REG_SZ /d "$b_id" /f >/dev/null 2>&1
for v in SourcesApart:1 "Stereo mode:1" "Auto freq:0" SampleFreq:3 Bitrate:7; do
  wine reg add "$settings\\Record" /v "${v%:*}" /t REG_DWORD /d "${v##*:}" /f >/dev/null 2>&1
done
apart_mp3=$(dirname "$mp3")/apart.mp3
: > "$apart_mp3"
start "$work" "" "${winfile%\\*}\\apart.mp3"
key Return
for _ in $(seq 1 100); do [ -s "$apart_mp3" ] && break; sleep 0.05; done
sleep 20
key Return
sleep 1
key alt+F4
wineserver -w
kill $apart_feeders 2>/dev/null || true
for m in $apart_modules; do pactl unload-module "$m" >/dev/null 2>&1 || true; done
for v in $apart_values; do wine reg delete "$settings\\Record" /v "${v/_/ }" /f >/dev/null 2>&1; done
before=0
mpg123 -q -w "$work/apart.wav" "$apart_mp3" 2>/dev/null || fail "the recording apart does not decode"
[ "$(soxi -c "$work/apart.wav")" = 2 ] || fail "the recording apart is not stereo"
# Each channel's clicks (seconds into the new part), and every right click's distance to the
# nearest left one.
apart_clicks() {
  sox "$work/apart.wav" -t dat - trim "$before" remix "$1" 2>/dev/null |
    awk '!/^;/ { if ($2 > 0.3 && $1 - last > 0.2) { print $1; last = $1 } }'
}
apart_clicks 1 > "$work/left.txt"
apart_clicks 2 > "$work/right.txt"
apart=$(awk 'NR == FNR { left[n++] = $1; next }
  $1 >= 2 { best = 1; for (i = 0; i < n; i++) { d = $1 - left[i]; if (d * d < best * best) best = d }
            if (best * best < 0.01) { k++; d = best < 0 ? -best : best; if (d > worst) worst = d
                                      if ($1 >= 3) { if (m == 0 || best < lo) lo = best; if (m == 0 || best > hi) hi = best; m++ }
                                      list = list sprintf(" %.1f:%.1f", $1, 1000 * best) } }
  END { printf "%d %.1f %.1f%s", k, 1000 * worst, 1000 * (hi - lo), list }' "$work/left.txt" "$work/right.txt")
read -r apart_count apart_worst apart_drift apart_list <<<"$apart"
[ "$apart_count" -ge 30 ] || fail "apart: only $apart_count of the second source's clicks beside the first's"
awk -v w="$apart_worst" -v d="$apart_drift" 'BEGIN { exit !(w <= 25 && d <= 5) }' ||
  fail "apart, the second source 0.5 % fast: a click $apart_worst ms from the first's, moving by $apart_drift ms from 3 s on (s:ms)$apart_list"
step "apart, the second source 0.5 % fast: $apart_count clicks, the widest $apart_worst ms from the first's, moving by $apart_drift ms from 3 s on (s:ms)$apart_list"

# The chosen endpoint unplugged mid-recording (its module unloaded) and plugged in again: the
# recording waits, then goes on into the same file, and its tone is there after the return.
plug_sink() {
  plug_module=$(pactl load-module module-null-sink sink_name=dr_plug rate=44100 channels=2 \
    sink_properties=device.description=DrPlug)
  paplay --device=dr_plug "$work/second.wav" &
  plug_pid=$!
}
plug_sink
plug_id=$(wine "$exe" --list-sources 2>/dev/null | tr -d '\r' | grep -E '^\{0\.0\.1\.[0-9]+\}.*'$'\t''.*DrPlug' | head -n 1 | cut -f 1)
[ -n "$plug_id" ] || fail "the endpoint to unplug is not listed"
mpg123 -q -w "$work/before-plug.wav" "$mp3" 2>/dev/null || fail "the file does not decode before the unplugging"
before=$(seconds_of "$work/before-plug.wav")
wine reg add "$settings\\Record" /v Source /t REG_SZ /d "$plug_id" /f >/dev/null 2>&1
start
size=$(stat -c %s "$mp3")
key Return
for _ in $(seq 1 100); do [ "$(stat -c %s "$mp3")" -gt "$size" ] && break; sleep 0.05; done
sleep 2
kill "$plug_pid" 2>/dev/null || true
pactl unload-module "$plug_module"
sleep 4
plug_sink
sleep 5
import -window root "$shots/wine-replugged.png"
key Return
# The stop after the input's return may take a moment: closed as soon as the window takes it.
for _ in $(seq 1 20); do
  sleep 1
  xdotool search --onlyvisible --name '^запись 1.mp3 - Dravellin Recorder$' >/dev/null 2>&1 || break
  key alt+F4
done
wineserver -w
kill "$plug_pid" 2>/dev/null || true
pactl unload-module "$plug_module" 2>/dev/null || true
wine reg delete "$settings\\Record" /v Source /f >/dev/null 2>&1
mpg123 -q -w "$work/replugged.wav" "$mp3" 2>/dev/null || fail "the recording across the unplugging does not decode"
after=$(seconds_of "$work/replugged.wav")
# The last 2 s hold the tone recorded after the return.
sox "$work/replugged.wav" "$work/replugged-end.wav" trim "$(awk -v a="$after" 'BEGIN { print a - 2.5 }')" 2
end_db=$(awk -v r="$(rms "$work/replugged-end.wav" -n sinc 330-560)" 'BEGIN { printf "%.2f", 20 * log(r / (0.25 / sqrt(2))) / log(10) }')
awk -v a="$after" -v b="$before" -v d="$end_db" 'BEGIN { exit !(a - b > 3.5 && d > -1.5 && d < 1.5) }' ||
  fail "unplugged and plugged in again: $(awk -v a="$after" -v b="$before" 'BEGIN { print a - b }') s recorded, the tone after the return at ${end_db} dB"
step "an endpoint unplugged and plugged in again: the recording went on into the same file (tone at ${end_db} dB)"

# The Sources page: the long-named output's loopback (the list's last entry: the outputs go by
# name, and Cyrillic after Latin) is stored as its endpoint ID, with the name shown kept whole
# beside it.
start
key ctrl+p
for _ in $(seq 1 50); do xdotool search --onlyvisible --name '^Свойства$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
xdotool key ctrl+Tab ctrl+Tab
sleep 1.5
xdotool key Tab End
sleep 0.5
import -window root "$shots/wine-sources.png"
xdotool key Return
sleep 1
key alt+F4
wineserver -w
record_key=$(regexport "$settings\\Record")
long_id=$(grep -F $'\tЗвук компьютера: '"$long" <<<"$list" | cut -f 1)
grep -qxF "\"Source\"=\"$long_id\"" <<<"$record_key" || fail "Source is not the output's endpoint ID $long_id: $record_key"
grep -qxF "\"SourceLabel\"=\"Звук компьютера: $long\"" <<<"$record_key" || fail "SourceLabel is not the whole name: $record_key"
step "Sources page: an endpoint ID stored, its name kept whole"

# Uninstall: the program, shortcut, uninstall entry and Run value go; settings and recordings stay.
wine reg add "$run_key" /v Palimbor /t REG_SZ /d "\"$(winepath -w "$exe")\"" /f >/dev/null 2>&1
wine "$dir/uninstall.exe" /S
wineserver -w
for _ in $(seq 1 50); do [ -e "$exe" ] || break; sleep 0.1; done
[ -e "$exe" ] && fail "the program is still installed"
[ -e "$dir/lame_enc.dll" ] && fail "lame_enc.dll is still installed"
[ -e "$shortcut" ] && fail "the shortcut is still there"
regq "$uninstall_key" | grep -q DisplayName && fail "the uninstall entry is still there"
regq "$run_key" /v Palimbor | grep -q Palimbor && fail "the uninstaller left Palimbor in the Run key"
regq "$settings\\Common" /v Loader | grep -q REG_DWORD || fail "the uninstaller removed the settings"
[ -s "$mp3" ] || fail "the uninstaller removed the recording"
step "uninstalled"
echo "wine_test: installed, listed sources, recorded, played, settings, commands, hotkey, kill and append, library, session end, sources page, uninstalled"
