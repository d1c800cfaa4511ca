# Sourced by scripts/demo and scripts/render-pictures: a private X display
# (Xvfb) with a window manager (openbox), and helpers to find and photograph
# the monitor's window on it.
#
#   recmon_headless_start   starts both, exports DISPLAY and a private
#                           XDG_RUNTIME_DIR (no real recorder is touched)
#   recmon_headless_stop    ends both and removes the private folder
#   recmon_window PID       prints the id of the visible monitor window of PID
#   recmon_shot WID FILE    saves the window, with its frame, as a PNG

recmon_headless_start() {
  RECMON_HEADLESS_DIR=$(mktemp -d /tmp/recmon-headless-XXXXXX)
  # -displayfd picks a free display number and reports it.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
    3>"$RECMON_HEADLESS_DIR/display" 2>"$RECMON_HEADLESS_DIR/xvfb.log" &
  RECMON_XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$RECMON_HEADLESS_DIR/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$RECMON_HEADLESS_DIR/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$RECMON_HEADLESS_DIR/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$RECMON_HEADLESS_DIR/display")"
  openbox >"$RECMON_HEADLESS_DIR/openbox.log" 2>&1 &
  RECMON_OPENBOX_PID=$!
  # The window manager is ready once it has announced itself on the root.
  for i in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  export XDG_RUNTIME_DIR="$RECMON_HEADLESS_DIR/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}

recmon_headless_stop() {
  [ -n "${RECMON_OPENBOX_PID:-}" ] && kill "$RECMON_OPENBOX_PID" 2>/dev/null
  [ -n "${RECMON_XVFB_PID:-}" ] && kill "$RECMON_XVFB_PID" 2>/dev/null
  wait "${RECMON_OPENBOX_PID:-}" "${RECMON_XVFB_PID:-}" 2>/dev/null || true
  [ -n "${RECMON_HEADLESS_DIR:-}" ] && rm -rf "$RECMON_HEADLESS_DIR"
  RECMON_OPENBOX_PID= RECMON_XVFB_PID= RECMON_HEADLESS_DIR=
}

recmon_window() {
  local pid=$1 i w
  for i in $(seq 50); do
    for w in $(xdotool search --onlyvisible --pid "$pid" --name 'Kestrum Call Monitor' 2>/dev/null); do
      if xwininfo -id "$w" 2>/dev/null | grep -q IsViewable; then
        echo "$w"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "no monitor window for process $pid" >&2
  return 1
}

recmon_shot() {
  import -frame -window "$1" "$2"
}
