#!/usr/bin/env bash
# Installs whatever this project needs that the machine lacks (Debian 12, run as root or with sudo),
# and the further packages named as arguments. Safe to run again: it installs nothing when
# everything is present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libicu-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  # The Fcitx5 input method: headers and modules (with the test modules), the X connection for
  # the bell, and the daemon itself.
  fcitx5-modules-dev libxcb1-dev libxcb-ewmh-dev libxkbcommon-dev fcitx5
  # Typing into real GTK 3 and Qt 6 fields through the fcitx5 daemon under a virtual X server.
  fcitx5-frontend-gtk3 fcitx5-frontend-qt6 xvfb xdotool dbus python3-gi gir1.2-gtk-3.0
  # The preferences window (Qt 6 Widgets, drawn with DejaVu when offscreen) and the session bus
  # the command line's tests run a Fcitx5 on.
  qt6-base-dev fonts-dejavu-core dbus-daemon
  # The X clipboard and the windows' stacking, read by the end-to-end desktop test.
  xclip x11-utils
  # Counting instructions per key in the benchmarks.
  valgrind
  # Watching the executable's system calls: every replaced file has its folder flushed.
  strace
  # The user's choice of input method framework, which the set-up makes and the removal gives back.
  im-config
)

packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
