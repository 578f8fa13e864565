# What the end-to-end tests share, sourced by each: a home of their own, a virtual X server, the
# fcitx5 daemon with an input method in the user's group, GTK 3 fields, and waiting for
# conditions. Run the test inside its own D-Bus session (dbus-run-session). Every wait is for a
# condition, bounded by a generous timeout, so that a slow machine only makes it slower.

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
home=$(mktemp -d)
# The processes to stop at the end, last started first stopped.
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

# wait_for <seconds> <description> <command...>: polls the command until it succeeds.
wait_for() {
  local limit=$1 what=$2
  shift 2
  local deadline=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    if ((SECONDS >= deadline)); then
      echo "timed out waiting for $what" >&2
      return 1
    fi
    sleep 0.1
  done
}

export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_CACHE_HOME=$home/.cache
export NO_AT_BRIDGE=1 XDG_RUNTIME_DIR=$home/run LANG=C.UTF-8 GTK_IM_MODULE=fcitx QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx
unset WAYLAND_DISPLAY
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/fcitx5/addon" "$XDG_DATA_HOME/fcitx5/inputmethod" \
  "$XDG_CONFIG_HOME/fcitx5" "$XDG_CONFIG_HOME/quorvix"
chmod 700 "$XDG_RUNTIME_DIR"

# use_input_method <name>: the user's Fcitx5 group holds the keyboard layout and the input
# method, which every new field starts with.
use_input_method() {
  im=$1
  cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<EOC
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=$im

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=$im
Layout=

[GroupOrder]
0=Default
EOC
  printf '[Behavior]\nActiveByDefault=True\n' >"$XDG_CONFIG_HOME/fcitx5/config"
}

start_x_server() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$home/display" 2>"$home/xvfb.log" &
  pids+=($!)
  wait_for 30 "the X server" test -s "$home/display"
  export DISPLAY=":$(cat "$home/display")"
}

# Asking fcitx5 itself before it owns its name would make the bus start another copy of it.
owns_name() {
  dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:"$1" | grep -q true
}
start_fcitx5() {
  fcitx5 >"$home/fcitx5.log" 2>&1 &
  pids+=($!)
  wait_for 60 "fcitx5 on the session bus" owns_name org.fcitx.Fcitx5
}
current_im() {
  dbus-send --session --print-reply=literal --dest=org.fcitx.Fcitx5 /controller \
    org.fcitx.Fcitx.Controller1.CurrentInputMethod 2>/dev/null | tr -d ' '
}

# open_field <title> <output file>: a GTK 3 field in a window of its own that prints its text after
# every change, focused, with the input method of use_input_method; $field is its process.
open_field() {
  local title=$1 out=$2
  /usr/bin/python3 "$e2e_dir/entry.py" "$title" >"$out" 2>"$out.err" &
  field=$!
  wait_for 60 "the text field" grep -q READY "$out"
  focus_window "$title"
  focused() { [ "$(current_im)" = "$im" ]; }
  wait_for 30 "$im to be the field's input method" focused
}

# focus_window <title>: gives the window of that title the keyboard.
focus_window() {
  wait_for 30 "the window \"$1\"" xdotool search --name "^$1\$"
  local window
  window=$(xdotool search --name "^$1\$" | head -1)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
}
