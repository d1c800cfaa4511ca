# Sourced by scripts/record-demo and bench/recorder-cost: a private headless
# sound server with no sound card, in a folder of its own, so that nothing of
# a real session is touched. PulseAudio by default; PipeWire with its
# PulseAudio service (and a private session bus, which PipeWire and its
# session manager need) when RECMON_SOUND_SERVER=pipewire.
#
#   recmon_sound_start    starts it and exports PULSE_SERVER and
#                         PULSE_CLIENTCONFIG for the programs started after it
#   recmon_sound_kill     ends the server at once, as a crash would (PipeWire:
#                         its PulseAudio service)
#   recmon_sound_restart  starts it again after recmon_sound_kill, with the
#                         same outputs, sources and defaults
#   recmon_sound_stop     ends it (and its helpers) and removes the folder
#
# The server has two null outputs: "others" (stereo, the default output, what
# the desktop plays: the other parties) and "micfeed" (mono), whose monitor a
# remapped source "mic" (the default source) turns into a microphone. Play
# into "others" to speak as the other parties and into "micfeed" to speak
# into the microphone.

recmon_sound_start() {
  RECMON_SOUND_DIR=$(mktemp -d /tmp/recmon-sound-XXXXXX)
  mkdir -p "$RECMON_SOUND_DIR/runtime" "$RECMON_SOUND_DIR/home"
  chmod 700 "$RECMON_SOUND_DIR/runtime"
  printf 'autospawn = no\n' >"$RECMON_SOUND_DIR/client.conf"
  export PULSE_CLIENTCONFIG="$RECMON_SOUND_DIR/client.conf"
  RECMON_SOUND_HELPERS=
  if [ "${RECMON_SOUND_SERVER:-pulseaudio}" = pipewire ]; then
    export PULSE_SERVER="unix:$RECMON_SOUND_DIR/runtime/pulse/native"
    local bus="unix:path=$RECMON_SOUND_DIR/bus"
    _recmon_sound_env dbus-daemon --session --address="$bus" --nofork --nopidfile &
    RECMON_SOUND_HELPERS="$!"
    sleep 0.3
    _recmon_sound_env pipewire &
    RECMON_SOUND_HELPERS="$! $RECMON_SOUND_HELPERS"
    sleep 0.5
    _recmon_sound_env wireplumber &
    RECMON_SOUND_HELPERS="$! $RECMON_SOUND_HELPERS"
  else
    export PULSE_SERVER="unix:$RECMON_SOUND_DIR/native"
  fi
  _recmon_sound_server_up || return 1
  _recmon_sound_keep_busy
}

# An idle null output renders up to two seconds ahead; a call application
# keeps its streams open, so keep one open on each output, as a call would,
# and give the outputs a moment to settle into real time.
_recmon_sound_keep_busy() {
  RECMON_SOUND_KEEPERS=
  local sink
  for sink in others micfeed; do
    pacat --playback --device="$sink" --latency-msec=20 --format=s16le --rate=48000 \
      --channels=1 /dev/zero &
    RECMON_SOUND_KEEPERS="$RECMON_SOUND_KEEPERS $!"
  done
  sleep 2
}

# Runs a command with the server's own runtime folder, home and bus. Started
# with & it replaces the background shell, so that $! is the command itself.
_recmon_sound_env() {
  exec env XDG_RUNTIME_DIR="$RECMON_SOUND_DIR/runtime" HOME="$RECMON_SOUND_DIR/home" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$RECMON_SOUND_DIR/bus" "$@" \
    >>"$RECMON_SOUND_DIR/server.log" 2>&1
}

# Starts the server (PulseAudio, or PipeWire's PulseAudio service) and waits
# until it answers with the outputs, the source and the defaults in place.
_recmon_sound_server_up() {
  local i
  if [ "${RECMON_SOUND_SERVER:-pulseaudio}" = pipewire ]; then
    _recmon_sound_env pipewire-pulse &
    RECMON_SOUND_PID=$!
  else
    cat >"$RECMON_SOUND_DIR/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$RECMON_SOUND_DIR/native
load-module module-null-sink sink_name=others channels=2 rate=48000 sink_properties=device.description=Other-parties
load-module module-null-sink sink_name=micfeed channels=1 rate=48000 sink_properties=device.description=Microphone-feed
load-module module-remap-source source_name=mic master=micfeed.monitor channels=1 source_properties=device.description=Microphone
set-default-sink others
set-default-source mic
PA
    # -n: none of the default script, which would look for sound cards.
    _recmon_sound_env pulseaudio -n -F "$RECMON_SOUND_DIR/server.pa" --daemonize=no \
      --exit-idle-time=-1 --use-pid-file=no &
    RECMON_SOUND_PID=$!
  fi
  for i in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "the private sound server did not start:" >&2
    cat "$RECMON_SOUND_DIR/server.log" >&2
    return 1
  fi
  [ "${RECMON_SOUND_SERVER:-pulseaudio}" = pipewire ] || return 0
  # PipeWire keeps nodes made through its PulseAudio service only while that
  # service runs, so they are made again after every start.
  pactl load-module module-null-sink sink_name=others channels=2 rate=48000 \
    sink_properties=device.description=Other-parties >/dev/null
  pactl load-module module-null-sink sink_name=micfeed channels=1 rate=48000 \
    sink_properties=device.description=Microphone-feed >/dev/null
  pactl load-module module-remap-source source_name=mic master=micfeed.monitor channels=1 \
    source_properties=device.description=Microphone >/dev/null
  # The session manager must see the new nodes before they can be defaults.
  for i in $(seq 50); do
    pactl set-default-sink others 2>/dev/null && pactl set-default-source mic 2>/dev/null &&
      pactl info 2>/dev/null | grep -q '^Default Sink: others$' &&
      pactl info 2>/dev/null | grep -q '^Default Source: mic$' && return 0
    sleep 0.1
  done
  echo "PipeWire did not take the private outputs as defaults" >&2
  return 1
}

recmon_sound_kill() {
  local pid
  kill -KILL "$RECMON_SOUND_PID" 2>/dev/null
  wait "$RECMON_SOUND_PID" 2>/dev/null
  # Its clients (the streams that keep the outputs busy) end with it.
  for pid in ${RECMON_SOUND_KEEPERS:-}; do
    wait "$pid" 2>/dev/null
  done
  RECMON_SOUND_PID= RECMON_SOUND_KEEPERS=
}

recmon_sound_restart() {
  _recmon_sound_server_up || return 1
  _recmon_sound_keep_busy
}

recmon_sound_stop() {
  local pid
  for pid in ${RECMON_SOUND_KEEPERS:-} ${RECMON_SOUND_PID:-} ${RECMON_SOUND_HELPERS:-}; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  [ -n "${RECMON_SOUND_DIR:-}" ] && rm -rf "$RECMON_SOUND_DIR"
  RECMON_SOUND_PID= RECMON_SOUND_KEEPERS= RECMON_SOUND_HELPERS= RECMON_SOUND_DIR=
  unset PULSE_SERVER PULSE_CLIENTCONFIG
}
