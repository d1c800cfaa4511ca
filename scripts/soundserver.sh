# Sourced by scripts/record-demo and bench/recorder-cost: a private headless
# PulseAudio with no sound card, in a folder of its own, so that nothing of a
# real session is touched.
#
#   recmon_sound_start   starts it and exports PULSE_SERVER and
#                        PULSE_CLIENTCONFIG for the programs started after it
#   recmon_sound_stop    ends it (and its helpers) and removes the folder
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
  cat >"$RECMON_SOUND_DIR/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$RECMON_SOUND_DIR/native
load-module module-null-sink sink_name=others channels=2 rate=48000 sink_properties=device.description=Other-parties
load-module module-null-sink sink_name=micfeed channels=1 rate=48000 sink_properties=device.description=Microphone-feed
load-module module-remap-source source_name=mic master=micfeed.monitor channels=1 source_properties=device.description=Microphone
set-default-sink others
set-default-source mic
PA
  printf 'autospawn = no\n' >"$RECMON_SOUND_DIR/client.conf"
  # -n: none of the default script, which would look for sound cards.
  XDG_RUNTIME_DIR="$RECMON_SOUND_DIR/runtime" HOME="$RECMON_SOUND_DIR/home" \
    pulseaudio -n -F "$RECMON_SOUND_DIR/server.pa" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no >"$RECMON_SOUND_DIR/server.log" 2>&1 &
  RECMON_SOUND_PID=$!
  export PULSE_SERVER="unix:$RECMON_SOUND_DIR/native"
  export PULSE_CLIENTCONFIG="$RECMON_SOUND_DIR/client.conf"
  local i
  for i in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "the private sound server did not start:" >&2
    cat "$RECMON_SOUND_DIR/server.log" >&2
    return 1
  fi
  # An idle null output renders up to two seconds ahead; a call application
  # keeps its streams open, so keep one open on each output, as a call would.
  RECMON_SOUND_KEEPERS=
  local sink
  for sink in others micfeed; do
    pacat --playback --device="$sink" --latency-msec=20 --format=s16le --rate=48000 \
      --channels=1 /dev/zero &
    RECMON_SOUND_KEEPERS="$RECMON_SOUND_KEEPERS $!"
  done
  sleep 2
}

recmon_sound_stop() {
  local pid
  for pid in ${RECMON_SOUND_KEEPERS:-} ${RECMON_SOUND_PID:-}; do
    kill "$pid" 2>/dev/null
  done
  for pid in ${RECMON_SOUND_KEEPERS:-} ${RECMON_SOUND_PID:-}; do
    wait "$pid" 2>/dev/null
  done
  [ -n "${RECMON_SOUND_DIR:-}" ] && rm -rf "$RECMON_SOUND_DIR"
  RECMON_SOUND_PID= RECMON_SOUND_KEEPERS= RECMON_SOUND_DIR=
  unset PULSE_SERVER PULSE_CLIENTCONFIG
}
