"""Reads the monitor's window over AT-SPI, as a screen reader does, and checks
what it finds: roles, names, descriptions, values and actions; that they stay
current while the recorder's record changes; and the keyboard.

    atspi-read.py RECMON_PID RECMON_SIM WINDOW_ID FILE_PATH

Run by atspi-window-check, inside a private session bus with the
accessibility bus started and the monitor already showing a call recorded
into FILE_PATH (4 KB), with the buffer 30 % full and the other parties not
recorded. Prints the tree it read, then one line per check.
"""

import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

recmon_pid, sim, window, file_path = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
failures = 0


def check(what, expected, actual):
    global failures
    if expected == actual:
        print(f"ok: {what}")
    else:
        print(f"FAIL: {what}: expected {expected!r}, got {actual!r}")
        failures += 1


def wait_for(what, predicate, seconds=3.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def nodes(root):
    yield root
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            yield from nodes(child)


def has(acc, state):
    return acc.getState().contains(state)


def actions(acc):
    try:
        action = acc.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def press(acc):
    action = acc.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == "Press":
            return action.doAction(i)
    return False


def describe(acc):
    text = f"[{acc.getRoleName()}] {acc.name!r}"
    if acc.description:
        text += f" ({acc.description})"
    try:
        value = acc.queryValue()
        text += f" value {value.currentValue:g} of {value.minimumValue:g}..{value.maximumValue:g}"
    except NotImplementedError:
        pass
    if actions(acc):
        text += " actions " + ",".join(actions(acc))
    relations = [f"{r.getRelationType().value_nick} {r.getTarget(0).name!r}"
                 for r in acc.getRelationSet()]
    if relations:
        text += " " + "; ".join(relations)
    if not has(acc, pyatspi.STATE_SHOWING):
        text += " (not showing)"
    if has(acc, pyatspi.STATE_FOCUSED):
        text += " (focused)"
    return text


def print_tree(acc, depth=0):
    print("  " * depth + describe(acc))
    for i in range(acc.childCount):
        print_tree(acc.getChildAtIndex(i), depth + 1)


def find_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == recmon_pid:
            return app
    return None


app = None
wait_for("the application", lambda: find_app() is not None, 10)
app = find_app()
if app is None:
    print("FAIL: the monitor never appeared on the accessibility bus")
    sys.exit(1)
frames = [app.getChildAtIndex(i) for i in range(app.childCount)]
frame = next((f for f in frames if f.name == "Kestrum Call Monitor"), None)
if frame is None:
    print(f"FAIL: no window named Kestrum Call Monitor among {[f.name for f in frames]}")
    sys.exit(1)


def named(name, role=None):
    for acc in nodes(frame):
        if acc.name == name and (role is None or acc.getRole() == role):
            return acc
    return None


def matching(pattern):
    return next((acc for acc in nodes(frame) if re.fullmatch(pattern, acc.name or "")), None)


print("The tree as read:")
print_tree(app)

check("the window is a frame", "frame", frame.getRoleName())
check("the window did not become active when it appeared", False,
      has(frame, pyatspi.STATE_ACTIVE))
check("no control has the focus", [], [a.name for a in nodes(frame)
                                       if has(a, pyatspi.STATE_FOCUSED)])
check("no filler nodes", [], [a.name for a in nodes(frame) if a.getRole() == pyatspi.ROLE_FILLER])
check("every node has a name", [], [a.getRoleName() for a in nodes(frame) if not a.name])

for name, showing in [("Show details", True), ("Hide details", False), ("Pin", True),
                      ("Unpin", False)]:
    button = named(name, pyatspi.ROLE_PUSH_BUTTON)
    check(f"button {name!r}", True, button is not None)
    if button is not None:
        check(f"button {name!r} can be pressed", True, "Press" in actions(button))
        check(f"button {name!r} showing", showing, has(button, pyatspi.STATE_SHOWING))

link = named("Open the recording's folder", pyatspi.ROLE_LINK)
check("the File link", True, link is not None)
if link is not None:
    check("the link's description is the file", file_path, link.description)
    check("the link can be pressed", True, "Press" in actions(link))

for name in ["Size: 4 KB", "Time Recorded: 00:01:30", "Seconds dropped: 2 (1/0)",
             "Buffer % Full: 30%"]:
    check(f"figure {name!r}", True, named(name, pyatspi.ROLE_LABEL) is not None)
check("time elapsed read with its caption", True,
      matching(r"Time Elapsed: \d\d:\d\d:\d\d") is not None)
health = named("Health: Fair", pyatspi.ROLE_LABEL)
check("health read with its caption", True, health is not None)
if health is not None:
    check("health explains itself", True, "30% full" in health.description)
    labelled_by = [r.getTarget(0).name for r in health.getRelationSet()
                   if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    check("health labelled by its caption", ["Health"], labelled_by)


def meter(name):
    return named(name, pyatspi.ROLE_PROGRESS_BAR)


mine, theirs = meter("Sound level for you"), meter("Sound level for other party(s)")
check("two meters", (True, True), (mine is not None, theirs is not None))
if mine is None or theirs is None:
    sys.exit(1)
check("your meter at a quarter: 8 of 0..15",
      (8.0, 0.0, 15.0),
      (mine.queryValue().currentValue, mine.queryValue().minimumValue,
       mine.queryValue().maximumValue))
check("the other parties' note", "Configured not to record this", theirs.description)

# Pressing the expand button over AT-SPI expands the window.
height = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).height
panel = named("Details")
press(named("Show details"))
check("pressing Show details shows the panel", True,
      wait_for("panel", lambda: has(panel, pyatspi.STATE_SHOWING)))
check("the window grew by the panel", 98,
      frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).height - height)
check("Hide details took its place", True, has(named("Hide details"), pyatspi.STATE_SHOWING))
press(named("Hide details"))
check("pressing Hide details hides it", True,
      wait_for("panel", lambda: not has(panel, pyatspi.STATE_SHOWING)))

# The recorder moves on: names, descriptions and values follow, and the
# reader is told so.
events = []


def listen(event):
    events.append(event.type)


pyatspi.Registry.registerEventListener(
    listen, "object:property-change:accessible-name", "object:property-change:accessible-value",
    "object:property-change:accessible-description")
subprocess.run([sim, "set", "Recording=1", f"FileName={file_path}", "StartTime=now-95s",
                "LastUpdateTime=now", "BytesRecorded=90s", "BufferSize=100", "BufferFree=30",
                "BytesDropped=5s", "BytesDropped1=1s", "MyLevel=0.5", "TheirLevel=0.2",
                "TheirRecordMode=2", "TheirLastSoundTick=now"], check=True,
               stdout=subprocess.DEVNULL)
GLib.timeout_add(1000, pyatspi.Registry.stop)
pyatspi.Registry.start()
pyatspi.Registry.deregisterEventListener(
    listen, "object:property-change:accessible-name", "object:property-change:accessible-value",
    "object:property-change:accessible-description")
check("health follows", True, named("Health: Poor", pyatspi.ROLE_LABEL) is not None)
check("seconds dropped follow", True,
      named("Seconds dropped: 5 (1/0)", pyatspi.ROLE_LABEL) is not None)
check("your meter follows: full", 15.0, mine.queryValue().currentValue)
check("the other parties' note goes", "", theirs.description)
for kind in ["object:property-change:accessible-name", "object:property-change:accessible-value",
             "object:property-change:accessible-description"]:
    check(f"the reader was told: {kind}", True, kind in events)

# The keyboard: once activated, Tab reaches the expand button and Space works it.
subprocess.run(["xdotool", "windowactivate", "--sync", window], check=True)
check("activated", True, wait_for("active", lambda: has(frame, pyatspi.STATE_ACTIVE)))
# The window itself holds the focus until Tab chooses a control.
check("activating focuses no control", [], [a.name for a in nodes(frame)
                                            if a != frame and has(a, pyatspi.STATE_FOCUSED)])
subprocess.run(["xdotool", "key", "Tab"], check=True)
check("Tab focuses Show details", True,
      wait_for("focus", lambda: has(named("Show details"), pyatspi.STATE_FOCUSED)))
subprocess.run(["xdotool", "key", "space"], check=True)
check("Space shows the panel", True, wait_for("panel", lambda: has(panel, pyatspi.STATE_SHOWING)))
check("the focus moved to Hide details", True,
      wait_for("focus", lambda: has(named("Hide details"), pyatspi.STATE_FOCUSED)))
for key, name in [("Tab", "Pin"), ("Tab", "Open the recording's folder")]:
    subprocess.run(["xdotool", "key", key], check=True)
    check(f"{key} focuses {name}", True,
          wait_for("focus", lambda: has(named(name), pyatspi.STATE_FOCUSED)))

print("The tree after the changes:")
print_tree(frame)
sys.exit(1 if failures else 0)
