#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run and test.
# Safe to run repeatedly: only missing packages are installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  # the SVG icon engine draws the tool-bar and button pictures
  libqt6svg6
  libjpeg62-turbo-dev
  libsndfile1-dev
  # loudness (EBU R 128, true peak) and resampling of recordings at other rates
  libebur128-dev libsoxr-dev
  # the logger's /metrics endpoint, and promtool to check what it serves
  libcpp-httplib-dev prometheus curl
  # the logger's readiness and watchdog under systemd (sd_notify), and
  # systemd-analyze to verify its installed user unit
  libsystemd-dev systemd
  # libpulse for the sound devices; the tests start a private daemon and use pactl
  libpulse-dev pulseaudio pulseaudio-utils
  fonts-liberation2
  sox
  # the loudness peer that `make bench` measures the analyser against
  ffmpeg
  # the end-to-end tests run the program on a virtual screen, under a real
  # window manager (openbox), drive it with xdotool and wmctrl, read the
  # stacking with xprop and xwininfo and the screenshots with ImageMagick
  xvfb xdotool imagemagick openbox wmctrl x11-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
