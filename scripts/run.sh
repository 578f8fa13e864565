#!/usr/bin/env bash
# The main job: installs what is missing, builds in release mode, installs Quorvix under out/
# (the Fcitx5 addon and its descriptions, the quorvix command, libquorvix with its header and
# package files), registers and enables it for this user's Fcitx5, and starts the input method.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# What applications need to talk to Fcitx5, and the tools a user sets input methods up with.
scripts/setup.sh fcitx5-frontend-gtk4 fcitx5-frontend-qt5 fcitx5-frontend-qt6 fcitx5-config-qt xdg-utils
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQRX_BUILD_TESTS=OFF -DQRX_BUILD_BENCH=OFF
cmake --install build-release --prefix "$root/out" >/dev/null
quorvix="$root/out/bin/quorvix"
echo "Installed under $root/out: $(cd "$root/out" && find . -type f -o -type l | sort | sed 's|^\./||' | tr '\n' ' ')"

# Registered for this user, enabled in the running Fcitx5 if there is one, and listed in the
# profile Fcitx5 starts with. A step that cannot be done yet (no Fcitx5 running) says so and
# the next one still runs.
"$quorvix" --repair-input-source || true

# Desktop sessions this user starts from now on use Fcitx5: im-config's choice for this user,
# never the system's for every user.
scripts/xinputrc.sh choose

fcitx_running() {
  [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] &&
    dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.fcitx.Fcitx5 2>/dev/null | grep -q true
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<MSG

There is no graphical session here (neither DISPLAY nor WAYLAND_DISPLAY is set), so there is no
application to type into and no input method server was started. Quorvix is installed and
registered for this user's Fcitx5: log in to a desktop session and run scripts/run.sh there again.
To see it type now, into a real GTK 3 field under a virtual display: scripts/try.sh
MSG
  exit 0
fi

if fcitx_running; then
  # The running Fcitx5 looked for the new addon when it was registered; selecting it makes it
  # the input method of the field that last had the keyboard.
  "$quorvix" --enable-input-source --select-input-source || true
  echo "Fcitx5 is running with Quorvix."
else
  # Fcitx5 with the registered addon (and its keyboard layouts) as this session's input method
  # server; `quorvix` alone runs one with Quorvix built in.
  fcitx5 -d --replace >/dev/null 2>&1
  for _ in $(seq 50); do fcitx_running && break; sleep 0.2; done
  "$quorvix" --enable-input-source || true
  echo "Started Fcitx5 with Quorvix."
fi
echo "Switch to Quorvix with Control+Space; Alt+comma turns Vietnamese on and off. Applications that"
echo "were already running may need restarting (or a new login) to use Fcitx5."
