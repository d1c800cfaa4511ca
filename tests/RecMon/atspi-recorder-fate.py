"""The real window when its recorder crashes or hangs, read over AT-SPI as a
screen reader reads it, its colour taken from the screen:

    atspi-recorder-fate.py RECMON RECMON_SIM RECMON_RECORD|- FOLDER

Run by atspi-recorder-check inside a private session bus with the
accessibility bus started, on a private X display. A holding recmon-sim
stands for a recorder: stopped with SIGSTOP and resumed, then killed, the
monitor staying open 30 s after; then recmon-record (on the private sound
server, unless "-" is given) is killed in turn. Prints one line per check.
"""

import os
import signal
import subprocess
import sys
import time

import pyatspi

recmon, sim, record, folder = sys.argv[1:5]
failures = 0
GONE = "The recorder stopped unexpectedly; the file holds what was recorded until then."
STUCK = "Recording may have stopped: no update from the recorder for "
GOOD, POOR = "#CCFFCC", "#FC969D"


def check(what, expected, actual):
    global failures
    if expected == actual:
        print(f"ok: {what}")
    else:
        print(f"FAIL: {what}: expected {expected!r}, got {actual!r}")
        failures += 1


def nodes(root):
    yield root
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            yield from nodes(child)


def frame_of(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            for i in range(app.childCount):
                if app.getChildAtIndex(i).name == "Kestrum Call Monitor":
                    return app.getChildAtIndex(i)
    return None


def window_colour(pid):
    """The colour of the client area's corner, as the screen shows it."""
    ids = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid),
                          "--name", "Kestrum Call Monitor"], capture_output=True, text=True)
    for wid in ids.stdout.split():
        pixel = subprocess.run(["import", "-window", wid, "-crop", "1x1+3+3", "-depth", "8",
                                "txt:-"], capture_output=True, text=True).stdout
        for word in pixel.split():
            if word.startswith("#") and len(word) == 7:
                return word
    return None


def shown(frame, pid):
    """What the window says about the recording: its state, the health
    figure and its description, and the window's colour."""
    labels = [a for a in nodes(frame) if a.getRole() == pyatspi.ROLE_LABEL]
    state = next((a.name for a in labels if a.name in ("Recording", "Not Recording")), None)
    health = next((a for a in labels if (a.name or "").startswith("Health: ")), None)
    return (state, health.name if health else None, health.description if health else None,
            window_colour(pid))


def wait_until(frame, pid, want, seconds):
    """Reads the window until `want` holds for what it shows, or `seconds`
    pass; returns what it showed last."""
    deadline = time.monotonic() + seconds
    while True:
        now = shown(frame, pid)
        if want(now) or time.monotonic() >= deadline:
            return now
        time.sleep(0.1)


def well(s):
    return s[:2] == ("Recording", "Health: Good") and s[3] == GOOD


def gone(s):
    return s == ("Not Recording", "Health: Poor", GONE, POOR)


def stuck(s):
    return s[:2] == ("Recording", "Health: Poor") and (s[2] or "").startswith(STUCK) \
        and s[3] == POOR


def started(args):
    return subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)


call = os.path.join(folder, "call.wav")
with open(call, "wb") as f:
    f.write(bytes(4096))
holder = started([sim, "set", "Recording=1", f"FileName={call}", "StartTime=now-95s",
                  "LastUpdateTime=now", "BytesRecorded=90s", "BufferSize=100", "BufferFree=95",
                  "TheirRecordMode=2", "TheirLastSoundTick=now", "--hold", "forever"])
holder.stdout.readline()
monitor = subprocess.Popen([recmon], env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"),
                           stderr=subprocess.DEVNULL)
frame = None
for _ in range(100):
    frame = frame_of(monitor.pid)
    if frame is not None:
        break
    time.sleep(0.1)
if frame is None:
    print("FAIL: the monitor never appeared on the accessibility bus")
    sys.exit(1)

try:
    check("a recording, Good", True, well(wait_until(frame, monitor.pid, well, 3)))

    holder.send_signal(signal.SIGSTOP)
    stopped = time.monotonic()
    s = wait_until(frame, monitor.pid, stuck, 8)
    check("a stopped recorder: still Recording, Poor, red, and why", True, stuck(s))
    print(f"   ({time.monotonic() - stopped:.1f} s after it stopped: {s[2]!r})")
    holder.send_signal(signal.SIGCONT)
    check("going on: Good again within a second", True,
          well(wait_until(frame, monitor.pid, well, 1)))

    holder.send_signal(signal.SIGKILL)
    holder.wait()
    check("a killed recorder: Not Recording, Poor, red, and why, within 2 s", True,
          gone(wait_until(frame, monitor.pid, gone, 2)))
    time.sleep(30)
    check("30 s later the window is still open", None, monitor.poll())
    check("and still says so", True, gone(shown(frame, monitor.pid)))

    if record != "-":
        recorded = os.path.join(folder, "recorded.wav")
        recorder = started([record, recorded])
        recorder.stdout.readline()
        check("recmon-record: a recording, Good", True,
              well(wait_until(frame, monitor.pid, well, 5)))
        recorder.send_signal(signal.SIGKILL)
        recorder.wait()
        check("recmon-record killed: Not Recording, Poor, red, and why, within 2 s", True,
              gone(wait_until(frame, monitor.pid, gone, 2)))
        check("its file holds what it recorded", True, os.path.getsize(recorded) > 44)
    else:
        print("recmon-record: no sound server, skipped")
finally:
    for p in (monitor, holder):
        if p.poll() is None:
            p.send_signal(signal.SIGCONT)
            p.kill()
            p.wait()
sys.exit(1 if failures else 0)
