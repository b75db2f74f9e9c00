#!/usr/bin/env bash
# Installs the build with DESTDIR into a temporary folder and uses the installed program as a
# user would: the command line without a display, the desktop files' checks, a file named on the
# command line (title, "LastFile"), a recording through the installed encoder library and its
# playback, the missing-library message, the display backend choice, and `make uninstall`.
# Needs DISPLAY (the test runner provides a virtual one with a window manager) and SDL's disk
# audio driver.
# Usage: install_test.sh <build folder> <source folder> <application id>
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
# The make calls below are our own, not part of a make that may have started the test runner.
unset MAKEFLAGS MFLAGS MAKELEVEL
app_id=$3

work=$(mktemp -d)
pid=
weston_pid=
cleanup() {
  # SIGKILL: a program that failed the test may not end on SIGTERM.
  if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ -n "$weston_pid" ]; then kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
passed=0
ok() { passed=$((passed + 1)); }

stage=$work/stage
prefix=/usr
root=$stage$prefix
program=$root/bin/dravellin-recorder

# --- make install honours PREFIX and DESTDIR and writes only below DESTDIR --------------------
# With a prefix that does not exist, anything written outside DESTDIR would create it.
probe=$work/probe-prefix
make -s -C "$source_dir" install BUILD_DIR="$build" PREFIX="$probe" DESTDIR="$work/probe-stage" >"$work/install.log"
[ ! -e "$probe" ] || fail "make install wrote outside DESTDIR: $(find "$probe" | head -n 5)"
[ -x "$work/probe-stage$probe/bin/dravellin-recorder" ] || fail "nothing installed under the probe's DESTDIR"
# As the README says: make install with PREFIX and DESTDIR.
make -s -C "$source_dir" install BUILD_DIR="$build" PREFIX="$prefix" DESTDIR="$stage" >"$work/install.log"
# Exactly the files of the install manifest, all below DESTDIR.
diff <(sed "s|^|$stage|" "$build/install_manifest.txt" | sort) <(find "$stage" -type f | sort) \
  || fail "the files below DESTDIR differ from the install manifest"
for f in bin/dravellin-recorder lib/dravellin-recorder/liblame_enc.so \
         "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
         "share/icons/hicolor/scalable/apps/$app_id.svg" share/man/man1/dravellin-recorder.1 \
         share/man/ru/man1/dravellin-recorder.1; do
  [ -f "$root/$f" ] || fail "not installed: $prefix/$f"
done
[ -x "$program" ] || fail "the program is not executable"
[ ! -e "$root/bin/liblame_enc.so" ] || fail "the encoder library sits beside the installed program"
for size in 16 24 32 48 64 128 256; do
  png=$root/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
# The rendered pictures are the program icon: the red dot of its top left corner is there.
dot=$(identify -format '%[pixel:p{16,16}]' "$root/share/icons/hicolor/64x64/apps/$app_id.png")
echo "$dot" | grep -Eq '^srgba?\(2[0-9]{2},0,0' || fail "the 64 px icon shows $dot where its red dot should be"
ok

# --- Desktop entry, metainfo and manual pages pass their validators --------------------------
desktop=$root/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" \
  || { cat "$work/as.log"; fail "appstreamcli validate"; }
grep -qx 'Exec=dravellin-recorder %f' "$desktop" || fail "Exec line"
grep -qx "Icon=$app_id" "$desktop" || fail "Icon line"
# The launcher's actions record and stop through the running program.
grep -qx 'Actions=record;stop;' "$desktop" || fail "Actions line"
grep -qx 'Exec=dravellin-recorder --record' "$desktop" && grep -qx 'Exec=dravellin-recorder --stop' "$desktop" ||
  fail "the actions' Exec lines"
for page in "$root/share/man/man1/dravellin-recorder.1" "$root/share/man/ru/man1/dravellin-recorder.1"; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $page: $warnings"
done
ok

# --- Command line without a display ----------------------------------------------------------
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY)
out=$("${nodisplay[@]}" "$program" --version) || fail "--version failed"
[ "$out" = "Dravellin Recorder 1.0 beta" ] || fail "--version printed '$out'"
"${nodisplay[@]}" "$program" --help >"$work/help" 2>"$work/help.err" || fail "--help failed"
grep -q '^Usage: dravellin-recorder \[FILE\]' "$work/help" || fail "--help text"
[ ! -s "$work/help.err" ] || fail "--help wrote to standard error"
set +e
"${nodisplay[@]}" "$program" --record-now >"$work/bad.out" 2>"$work/bad.err"
rc=$?
set -e
[ "$rc" = 64 ] || fail "a wrong option exited with $rc, expected 64"
[ ! -s "$work/bad.out" ] || fail "a wrong option wrote to standard output"
head -n 1 "$work/bad.err" | grep -q -- "--record-now" || fail "the error does not name the option"
ok

# --- The installed program opens a named file, records through the installed library, plays --
"$(dirname "$0")/record_play_test.sh" "$program" "$root/lib/dravellin-recorder/liblame_enc.so" "$desktop" \
  || fail "record and play with the installed program"
ok

# --- Without the encoder library where it looks, recording reports it and goes on ------------
export XDG_CONFIG_HOME=$work/config
export SDL_DISKAUDIOFILEIN=$work/input.raw
export SDL_DISKAUDIOFILE=$work/output.raw
sox -n -r 11025 -c 1 -b 16 -e signed-integer -t raw "$SDL_DISKAUDIOFILEIN" synth 20 sine 660 2>/dev/null
mkdir -p "$work/music"
sox -n -r 22050 -c 1 -b 16 "$work/tone.wav" synth 2 sine 440 2>/dev/null
lame --quiet -b 32 "$work/tone.wav" "$work/music/tone.mp3"

# Waits for a visible window of the running program titled $1 (a regular expression). The waits
# are generous: under sanitizers the program is many times slower; a wait that ends early costs
# nothing.
wait_window() {
  win=
  for _ in $(seq 1 600); do
    win=$(xdotool search --all --pid "$pid" --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for '$1'"
    sleep 0.1
  done
  fail "no window titled '$1'"
}
key() {
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  xdotool key "$1"
}
close_program() {
  key alt+F4
  for _ in $(seq 1 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end when its window closed"
  wait "$pid" || true
  pid=
}

mv "$root/lib/dravellin-recorder" "$work/lib-away"
(cd "$work" && exec "$program" "$work/music/tone.mp3" 2>>"$work/stderr.log") &
pid=$!
wait_window '^tone.mp3 - Dravellin Recorder$'
key Return
# The message box: a second window of the program, captioned with the program's name.
box=
for _ in $(seq 1 600); do
  box=$(xdotool search --all --pid "$pid" --onlyvisible --name '^dravellin-recorder$' 2>/dev/null | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no message box when the encoder library is missing"
xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
xdotool key Return
for _ in $(seq 1 600); do
  xdotool search --all --pid "$pid" --onlyvisible --name '^dravellin-recorder$' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --all --pid "$pid" --onlyvisible --name '^dravellin-recorder$' >/dev/null 2>&1 &&
  fail "the message box stayed after Return"
kill -0 "$pid" 2>/dev/null || fail "the program ended after the missing-library message"
close_program
mv "$work/lib-away" "$root/lib/dravellin-recorder"
ok

# --- Display backend in a Wayland session: X11 unless the user chose otherwise ----------------
# A headless Wayland compositor beside the test's X display stands for a Wayland session with
# XWayland. With GDK_BACKEND unset the window must come up on the X display; with the user's
# GDK_BACKEND=wayland the program must run on Wayland, where no X window of it appears.
runtime=$work/runtime
mkdir -m 700 "$runtime"
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=wayland-dr --idle-time=0 \
  >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 1 100); do [ -S "$runtime/wayland-dr" ] && break; sleep 0.1; done
[ -S "$runtime/wayland-dr" ] || fail "the Wayland compositor did not start: $(cat "$work/weston.log")"

(unset GDK_BACKEND; export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-dr; exec "$program" 2>/dev/null) &
pid=$!
wait_window ' - Dravellin Recorder$'
close_program

(export GDK_BACKEND=wayland XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-dr WAYLAND_DEBUG=1
 exec "$program" 2>"$work/wayland.log") &
pid=$!
# Its window is on Wayland once it names its toplevel there; then no X window of it may exist.
for _ in $(seq 1 600); do
  grep -q 'xdg_toplevel@[0-9]*\.set_title(".*Dravellin Recorder")' "$work/wayland.log" && break
  kill -0 "$pid" 2>/dev/null || fail "with GDK_BACKEND=wayland the program ended"
  sleep 0.1
done
grep -q 'xdg_toplevel@[0-9]*\.set_title(' "$work/wayland.log" ||
  fail "with GDK_BACKEND=wayland the program made no window on Wayland"
if xdotool search --pid "$pid" >/dev/null 2>&1; then
  fail "GDK_BACKEND=wayland was overridden: the window is on the X display"
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
kill "$weston_pid"
wait "$weston_pid" 2>/dev/null || true
ok

# --- make uninstall removes every installed file ----------------------------------------------
make -s -C "$source_dir" uninstall DESTDIR="$stage" PREFIX="$prefix" >/dev/null
left=$(find "$stage" -type f)
[ -z "$left" ] || fail "left after make uninstall: $left"
ok

echo "install_test: $passed passed, 0 failed"
