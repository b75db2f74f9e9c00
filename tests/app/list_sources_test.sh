#!/usr/bin/env bash
# --list-sources beside the private sound server that scripts/with-pulse or with-pipewire
# started: every source the server lists, monitors included, by the value the settings store
# and the name the Sources page shows, with the default entry first; a device named in Cyrillic
# and emoji, 200 characters long, whole; and exit 1 with a reason, nothing listed, when the
# program does not use the server or the server is gone.
# Usage: list_sources_test.sh <program>
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
unset SDL_AUDIODRIVER

long="Колонки-😀-$(printf 'x%.0s' $(seq 1 190))"
pactl load-module module-null-sink sink_name=dr_long "sink_properties=device.description=$long" >/dev/null
for _ in $(seq 1 50); do pactl list short sources | grep -q dr_long.monitor && break; sleep 0.1; done

rc=0; out=$("$program" --list-sources 2>err) || rc=$?
[ "$rc" = 0 ] || fail "exit $rc: $(cat err)"
[ ! -s err ] || fail "standard error: $(cat err)"
# Each line: a value, one tab, a name.
awk -F '\t' 'NF != 2 || $2 == "" { bad = 1 } END { exit bad }' <<<"$out" || fail "a line is not VALUE<tab>NAME: $out"
description() {  # description KIND NAME: the server's description of a sink or source
  pactl list "$1" | awk -v n="$2" '$1 == "Name:" { on = $2 == n } on && /^[[:space:]]*Description:/ { sub(/^[[:space:]]*Description: /, ""); print; exit }'
}
mic=$(description sources "$DR_PULSE_SOURCE")
speaker=$(description sinks "$DR_PULSE_SINK")
[ "$(head -n 1 <<<"$out")" = "$(printf '\tПо умолчанию (%s)' "$mic")" ] || fail "the first line is not the default entry: $out"
grep -qxF "$(printf '%s\t%s' "$DR_PULSE_SOURCE" "$mic")" <<<"$out" || fail "no line for the microphone: $out"
grep -qxF "$(printf '%s\tЗвук компьютера: %s' "$DR_PULSE_MONITOR" "$speaker")" <<<"$out" ||
  fail "no line for the speaker's monitor: $out"
grep -qxF "$(printf 'dr_long.monitor\tЗвук компьютера: %s' "$long")" <<<"$out" || fail "the long name is not whole: $out"
# Every source of the server, and nothing else.
diff <(pactl list short sources | cut -f 2 | sort) <(tail -n +2 <<<"$out" | cut -f 1 | sort) >&2 ||
  fail "the values are not the server's sources"
# Inputs before monitors, as the page offers them.
tail -n +2 <<<"$out" | cut -f 2 | awk '/^Звук компьютера: / { m = 1; next } m { exit 1 }' ||
  fail "an input comes after a monitor: $out"

# No server for the program: the reason, exit 1, no list.
check_refused() {  # check_refused REASON COMMAND...
  local reason=$1; shift
  rc=0; out=$("$@" 2>err) || rc=$?
  [ "$rc" = 1 ] && [ -z "$out" ] && grep -q "cannot list the sound sources: .*$reason" err ||
    fail "$* exited $rc with '$out' and '$(cat err)'"
}
check_refused "SDL_AUDIODRIVER" env SDL_AUDIODRIVER=disk "$program" --list-sources
"$DR_PULSE_CONTROL" --kill
started=$SECONDS
check_refused "does not answer" "$program" --list-sources
[ $((SECONDS - started)) -le 3 ] || fail "a server that is gone took $((SECONDS - started)) s to tell"
echo "list_sources_test: listed and refused"
