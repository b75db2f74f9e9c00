"""Starts the program and checks its icon buttons through AT-SPI (run inside dbus-run-session)."""

import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

EXPECTED = ["Новый...", "Запись", "Воспроизведение", "Открыть...", "Уровень записи...", "Громкость..."]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)


def find_app(pid, timeout=45.0):
    end = time.time() + timeout
    while time.time() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except gi.repository.GLib.Error:
                pass
        time.sleep(0.2)
    return None


def walk(node, found, role):
    try:
        if node.get_role() == role:
            found.append(node)
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            if child is not None:
                walk(child, found, role)
    except gi.repository.GLib.Error:
        pass
    return found


def buttons(app):
    app.clear_cache()
    return [b for b in walk(app, [], Atspi.Role.PUSH_BUTTON) if b.get_name() in EXPECTED + ["Стоп"]]


def names(app):
    return [b.get_name() for b in buttons(app)]


# Generous: under sanitizers, with the tree walked over D-Bus, the program is many times slower;
# a wait that ends early costs nothing.
def wait_for(condition, timeout=60.0):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def main():
    program = sys.argv[1]
    # The accessibility bus and registry start on first use; have them running before the
    # program's bridge looks for them.
    Atspi.get_desktop(0).get_child_count()
    proc = subprocess.Popen([program], stderr=subprocess.DEVNULL)
    try:
        app = find_app(proc.pid)
        check(app is not None, "the program never appeared in the accessibility tree")
        if app is None:
            return
        check(wait_for(lambda: names(app) == EXPECTED), "button names %r" % names(app))
        for button in buttons(app):
            check(button.get_description() == button.get_name(),
                  "tooltip of %r reads %r" % (button.get_name(), button.get_description()))

        # Space plays: the play button shows the stop icon and is called "Стоп".
        window = subprocess.run(["xdotool", "search", "--all", "--pid", str(proc.pid), "--onlyvisible",
                                 "--name", "Dravellin Recorder"],
                                capture_output=True, text=True).stdout.split()
        check(bool(window), "no program window")
        if window:
            subprocess.run(["xdotool", "windowactivate", "--sync", window[0]], check=False)
            check(wait_for(lambda: subprocess.run(["xdotool", "getwindowfocus"], capture_output=True,
                                                  text=True).stdout.strip() == window[0]),
                  "the window never got the keyboard focus")
            subprocess.run(["xdotool", "key", "space"], check=True)
            playing = EXPECTED[:2] + ["Стоп"] + EXPECTED[3:]
            check(wait_for(lambda: names(app) == playing), "while playing: %r" % names(app))
            # The tone ends after three seconds and the button takes its name back.
            check(wait_for(lambda: names(app) == EXPECTED), "after playing: %r" % names(app))

        # Hovering over the volume button puts the tooltip window on screen. (The toolkit keeps
        # tooltip windows out of the accessibility tree; their text is the button's description.)
        def program_windows():
            tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True,
                                  text=True).stdout
            return sum(1 for line in tree.splitlines() if '"dravellin-recorder"' in line)
        volume = [b for b in buttons(app) if b.get_name() == "Громкость..."]
        check(bool(volume), "no volume button")
        if volume:
            before = program_windows()
            box = volume[0].get_extents(Atspi.CoordType.SCREEN)
            # A hand coming to rest on the button: a few small moves.
            for step in range(6):
                subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2 - 6 + step),
                                str(box.y + box.height // 2)], check=True)
                time.sleep(0.1)
            check(wait_for(lambda: program_windows() == before + 1),
                  "no tooltip window while hovering over the volume button")
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
    print("accessibility_test: %s" % ("passed" if not failures else "%d failed" % len(failures)))


main()
sys.exit(1 if failures else 0)
