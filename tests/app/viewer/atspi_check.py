#!/usr/bin/python3
"""What a screen reader hears of the viewer: the built program runs on an X server, keys are
typed with xdotool, and everything is read back over the accessibility bus (AT-SPI), as Orca
would read it.

    atspi_check.py VIEWER PREPARED.QP3 TEXT.GVP WORKDIR

Checks, for both previews, that the page field says the page and the page count after
Page Down, End and Home; that each preview's page is text (page 1's, then page 2's);
that --page 2 opens at page 2; in the prepared preview that the zoom box says 150% after "150" and
Enter, and that Ctrl+O on an empty file shows a message and leaves the program running.
Run by atspi_test.sh, which provides the X server and the buses."""

import os
import re
import subprocess
import sys
import time

import pyatspi

VIEWER, PREPARED, TEXT, WORKDIR = sys.argv[1:5]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def keys(*names):
    for name in names:
        xdotool("key", "--clearmodifiers", name)
        time.sleep(0.3)


def wait_for(find, seconds=20.0):
    """Polls `find` until it gives something other than None."""
    end = time.time() + seconds
    while time.time() < end:
        try:
            found = find()
        except Exception:  # the tree changes while it is walked
            found = None
        if found is not None:
            return found
        time.sleep(0.2)
    return None


def application(process):
    def find():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == process.pid:
                return app
        return None
    # A viewer started while other tests keep both processors busy can take a while to
    # register on the bus.
    return wait_for(find, 60.0)


def descendant(app, predicate):
    def find():
        return pyatspi.findDescendant(app, lambda n: n is not None and predicate(n))
    return wait_for(find)


def field(app, description):
    """A status field, found by the description that names it; its name is what it shows."""
    return descendant(app, lambda n: n.description == description)


def focus_window(process):
    out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                          str(process.pid)], capture_output=True, text=True, timeout=30)
    ids = out.stdout.split()
    if ids:
        # No window manager runs here: the X focus is set directly.
        subprocess.run(["xdotool", "windowfocus", "--sync", ids[-1]], check=False)
    time.sleep(0.5)


def start(report, *options):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               QT_ACCESSIBILITY="1")
    process = subprocess.Popen([VIEWER, *options, "--open", report], env=env)
    app = application(process)
    if app is None:
        process.kill()
        raise SystemExit("the viewer never appeared on the accessibility bus")
    focus_window(process)
    return process, app


def reading(page, pattern):
    match = re.fullmatch(pattern, page.name or "")
    return (match.group(1), match.group(2)) if match else None


def page_field_walk(app, description, pattern, what):
    page = field(app, description)
    check(page is not None, what + ": the page field is on the bus")
    if page is None:
        return
    first = reading(page, pattern)
    check(first is not None and first[0] == "1", "%s: page field reads %r" % (what, page.name))
    if first is None:
        return
    count = first[1]
    keys("Next")
    check(reading(page, pattern) is not None,
          "%s: after Page Down it reads %r" % (what, page.name))
    keys("End")
    last = wait_for(lambda: reading(page, pattern) if reading(page, pattern) == (count, count)
                    else None, 5)
    check(last == (count, count), "%s: after End it reads %r" % (what, page.name))
    keys("Home")
    back = wait_for(lambda: reading(page, pattern) if reading(page, pattern) == ("1", count)
                    else None, 5)
    check(back == ("1", count), "%s: after Home it reads %r" % (what, page.name))


def page_text(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def page_text_walk(app, name, paging_key, what):
    """The page, found by its name, reads page 1's text, and another page's after the key,
    with the caret at its start."""
    page = descendant(app, lambda n: n.name == name)
    check(page is not None, what + ": the page is on the bus")
    if page is None:
        return
    first = page_text(page)
    check(len(first.strip()) > 0, "%s: page 1 reads %r" % (what, first[:60]))
    keys(paging_key)
    second = wait_for(lambda: page_text(page) if page_text(page) != first else None, 5)
    check(second is not None and len(second.strip()) > 0,
          "%s: after %s the page reads %r" % (what, paging_key, (second or "")[:60]))
    check(page.queryText().caretOffset == 0, what + ": the caret is at the page's start")


# ---- The prepared preview.
process, app = start(PREPARED)
page_field_walk(app, "Posição da página", r"Pág\. (\d+) de (\d+)", "prepared preview")

# The page itself is text a screen reader reads: page 1's, then page 2's after the paging key.
page_text_walk(app, "Páginas do relatório", "ctrl+Next", "prepared preview")
keys("Home")

zoom = descendant(app, lambda n: n.getRoleName() == "combo box")
check(zoom is not None, "prepared preview: the zoom box is on the bus")
if zoom is not None:
    # A click into the box's text, as a user would.
    box = zoom.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", "--sync", str(box.x + box.width // 3), str(box.y + box.height // 2))
    xdotool("click", "1")
    time.sleep(0.3)
    keys("ctrl+a")
    xdotool("type", "--delay", "50", "150")
    keys("Return")
    said = wait_for(lambda: zoom.description if zoom.description == "150%" else None, 5)
    check(said == "150%", "prepared preview: the zoom box says %r after 150 and Enter"
          % zoom.description)

empty = os.path.join(WORKDIR, "vazio.qp3")
open(empty, "wb").close()
focus_window(process)
keys("ctrl+o")
chooser = descendant(app, lambda n: n.getRoleName() in ("dialog", "file chooser"))
check(chooser is not None, "prepared preview: Ctrl+O opens the file dialog")
time.sleep(1.0)
xdotool("type", "--delay", "20", empty)
keys("Return")
alert = descendant(app, lambda n: n.getRoleName() in ("alert", "dialog") and
                   n.name != (chooser.name if chooser else None))
check(alert is not None, "prepared preview: the empty file gets a message")
keys("Return")
time.sleep(1.0)
check(process.poll() is None, "prepared preview: the program is still running")
process.terminate()
process.wait(timeout=20)

# ---- --page N opens the report at that page.
process, app = start(PREPARED, "--page", "2")
page = field(app, "Posição da página")
opened = wait_for(lambda: reading(page, r"Pág\. (\d+) de (\d+)") if page else None, 10)
check(opened is not None and opened[0] == "2", "--page 2: the page field reads %r"
      % (page.name if page else None))
process.terminate()
process.wait(timeout=20)

# ---- The text preview.
process, app = start(TEXT)
page_field_walk(app, "Página", r"Página: (\d+) de (\d+)", "text preview")
page_text_walk(app, "Página do relatório", "Next", "text preview")
process.terminate()
process.wait(timeout=20)

if failures:
    print("%d checks failed" % len(failures))
sys.exit(1 if failures else 0)
