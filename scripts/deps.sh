# Sourced by the quick-start scripts: makes sure the Debian packages that the
# build, the tests and the demo need are installed.
#
#   recmon_need_packages PKG...   installs what is missing (as root), or prints
#                                 the one apt-get line to run and exits.

# file: CPack's Debian generator calls it, and the package test builds a package.
# git: the format check lists the repository's files with it.
# libsystemd-dev: sd-bus, for the automatic recorder's desktop notifications.
RECMON_BUILD_PACKAGES="cmake ninja-build g++ pkg-config dpkg-dev file git libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev libgl-dev libxcb1-dev libxcb-damage0-dev libxcb-randr0-dev libxkbcommon-dev clang-format libpulse-dev libsndfile1-dev libsystemd-dev locales"
# Private sound servers (PulseAudio, and PipeWire with its PulseAudio
# service, its session manager and a session bus), tones and file checks for
# the recorder's end-to-end tests, its demo and its benchmark; a private
# session bus for the automatic recorder's notifications.
RECMON_SOUND_PACKAGES="pulseaudio pulseaudio-utils sox pipewire pipewire-bin pipewire-pulse wireplumber dbus dbus-daemon"
# Speech for the recording demo.
RECMON_SPEECH_PACKAGES="espeak-ng"
# clang's libFuzzer and sanitizer runtimes, for scripts/fuzz.
RECMON_FUZZ_PACKAGES="clang libclang-rt-14-dev"
# Headless display, window manager and screenshots for window tests and the
# demo; the accessibility bus, a private session bus and the reader's library
# for the check that reads the window as a screen reader does.
# fonts-dejavu-extra: DejaVu Sans Condensed Bold, the bold face beside Wine's Tahoma.
# fluxbox (a window manager that focuses what it maps) and xrandr
# (x11-xserver-utils, two monitors on one Xvfb) for the monitors check.
RECMON_DESKTOP_PACKAGES="xvfb xauth openbox fluxbox x11-xserver-utils x11-utils xdotool imagemagick fonts-dejavu-core fonts-dejavu-extra xdg-utils fonts-wine at-spi2-core dbus-daemon python3-pyatspi"
# A dark desktop theme for the README's pictures.
RECMON_PICTURE_PACKAGES="qt6ct"

recmon_missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      printf '%s ' "$pkg"
    fi
  done
}

recmon_need_packages() {
  local missing
  missing=$(recmon_missing_packages "$@")
  [ -z "$missing" ] && return 0
  missing=${missing% }
  local install="apt-get update && apt-get install -y --no-install-recommends $missing"
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: $missing" >&2
    echo "Install them as root (it asks for root's password):" >&2
    echo "  su -c '$install'" >&2
    echo "or, where sudo is set up for you:" >&2
    echo "  sudo sh -c '$install'" >&2
    echo "then run this command again." >&2
    exit 1
  fi
  echo "Installing missing packages: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # shellcheck disable=SC2086
  if ! apt-get install -y -q --no-install-recommends $missing; then
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
  fi
}
