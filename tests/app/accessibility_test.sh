#!/usr/bin/env bash
# Reads the running program through the accessibility tree, as a screen reader does (AT-SPI on a
# private session bus): the six icon buttons carry the names of their menu commands, the play
# button's name follows its icon, and hovering over a button shows its tooltip. Needs DISPLAY
# (the test runner provides a virtual one with a window manager).
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)

# The test runner turns the toolkit's accessibility bridge off for every test; this one needs it.
unset NO_AT_BRIDGE GTK_A11Y

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/Dravellin Software"

# A three-second tone as the last file, loaded at start, so that there is something to play.
sox -q -n -r 22050 -c 1 -b 16 "$work/tone.wav" synth 3 sine 440
lame --quiet -b 32 "$work/tone.wav" "$work/tone.mp3"
cat >"$XDG_CONFIG_HOME/Dravellin Software/dravellin-recorder.conf" <<CONF
[Common]
Loader=2
LastFile=$work/tone.mp3
CONF

dbus-run-session -- /usr/bin/python3 "$here/button_names.py" "$program"
