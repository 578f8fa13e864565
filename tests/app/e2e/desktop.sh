#!/usr/bin/env bash
# The input menu on a real desktop: the installed quorvix under the fcitx5 daemon and a virtual X
# server, its menu read and clicked over D-Bus as a panel does it. The clipboard conversions work
# on the X clipboard, which xclip fills and reads, and a GTK 3 field pastes from; the preferences
# window, asked for again from the menu or the command line, stays one window and comes forward.
#
# usage: desktop.sh <installation prefix>
# Run it inside its own D-Bus session (dbus-run-session).
set -euo pipefail
quorvix=$(realpath "$1")/bin/quorvix
source "$(dirname "$0")/session.sh"

failures=0
# What the programs said, when something went wrong.
report() {
  local status=$?
  if ((status)); then
    for log in fcitx5.log panel.out panel.err field.out; do
      echo "--- $log"
      tail -n 30 "$home/$log" || true
    done
  fi
  cleanup
}
trap report EXIT
# check <description> <command...>: waits for the condition and counts it when it does not come.
check() {
  if wait_for 30 "$1" "${@:2}"; then
    echo "ok: $1"
  else
    echo "FAIL: $1"
    failures=$((failures + 1))
  fi
}

"$quorvix" --register-input-source
use_input_method quorvix
start_x_server
start_fcitx5

mkfifo "$home/panel.in"
/usr/bin/python3 "$e2e_dir/panel.py" <"$home/panel.in" >"$home/panel.out" 2>"$home/panel.err" &
pids+=($!)
exec 4>"$home/panel.in"
wait_for 30 "the panel on the session bus" owns_name org.kde.impanel

open_field e2e-desktop "$home/field.out"
pids+=($field)
menu_shown() { grep -qx "MENU .*|Mở cài đặt Fcitx5…|Clipboard" "$home/panel.out"; }
check "Quorvix's menu in the panel, naming Fcitx5's settings" menu_shown

clicks=0
# click <title> [<title in its sub-menu>]
click() {
  clicks=$((clicks + 1))
  (IFS=$'\t'; printf 'click\t%s\n' "$*") >&4
  clicked() { (($(grep -c '^CLICKED' "$home/panel.out") >= clicks)); }
  wait_for 30 "a click on $*" clicked
}

# ---- The clipboard conversions
# xclip serves what it copied from the background until another program takes the clipboard.
copy() { printf '%s' "$1" | xclip -selection clipboard "${@:2}" 2>>"$home/xclip.log"; }
holds() { cmp -s <(xclip -o -selection clipboard "${@:2}") <(printf '%s' "$1"); }
# The conversion processes of this test: those of a user with this home.
conversions() {
  local pid
  for pid in $(pgrep -x quorvix || true); do
    if tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -qx -- --transform-clipboard &&
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "HOME=$home"; then
      echo "$pid"
    fi
  done
}
serving() { [ "$(conversions | wc -l)" -eq "$1" ]; }
# A conversion that fails says why in the daemon's log, where the processes it starts write.
refusals=0
refused() {
  refusals=$((refusals + 1))
  said() { (($(grep -c '] The clipboard conversion failed: the clipboard holds no text' "$home/fcitx5.log") >= refusals)); }
  wait_for 30 "the conversion to give up" said
}

click Clipboard "Bỏ dấu"
refused
check "an empty clipboard is left empty" eval '! xclip -o -selection clipboard'

copy "PNG" -t image/png
click Clipboard "Unicode → VIQR"
refused
check "an image is left as it was" holds "PNG" -t image/png

copy "Tiếng Việt"
steps=(
  "Unicode → VIQR|Tie^'ng Vie^.t"
  "VIQR → Unicode|Tiếng Việt"
  "Unicode → TCVN3 (UTF-8 thay thế)|TiÕng ViÖt"
  "TCVN3 → Unicode|Tiếng Việt"
  "Bỏ dấu|Tieng Viet"
)
for step in "${steps[@]}"; do
  click Clipboard "${step%%|*}"
  check "${step%%|*} gives \"${step#*|}\"" holds "${step#*|}"
done
copy $'Tie\u0302\u0301ng Vie\u0302\u0323t'
click Clipboard "Chuẩn hoá Unicode NFC"
check "NFC composes the letters" holds "Tiếng Việt"
click Clipboard "Unicode → VIQR"
check "Unicode → VIQR once more" holds "Tie^'ng Vie^.t"
check "the converted text stays on the clipboard, served by one process" serving 1
xdotool key --clearmodifiers ctrl+v
pasted() { grep -qx "TEXT:Tie^'ng Vie^.t" "$home/field.out"; }
check "Control+V pastes the converted text into the GTK 3 field" pasted
copy "khác"
check "the process ends once another program takes the clipboard" serving 0

# ---- One preferences window
preferences_windows() { xdotool search --onlyvisible --class '^quorvix$' 2>/dev/null || true; }
windows() { [ "$(preferences_windows | wc -l)" -eq "$1" ]; }
# The root's children, the top one first.
stacking() { xwininfo -root -children | grep -oE '^ +0x[0-9a-f]+' | tr -d ' '; }
place() { stacking | grep -nx "$(printf '0x%x' "$1")" | cut -d: -f1; }
forward() { (($(place "$(preferences_windows)") < $(place "$field_window"))); }
# A new field over the window, with the keyboard: a window that comes and goes may leave Fcitx5
# without a field of Quorvix's to carry out the menu's commands in, though the keyboard is back.
fields=0
cover() {
  fields=$((fields + 1))
  kill "$field"
  wait "$field" || true
  open_field "e2e-desktop-$fields" "$home/field-$fields.out"
  pids+=($field)
  field_window=$(xdotool search --name "^e2e-desktop-$fields\$" | head -1)
  windows 0 || wait_for 30 "the field over the window" eval '! forward'
}
# Asks for the window from the command line: the exit status of a request that ought to end at once.
from_terminal() { timeout 30 "$quorvix" --preferences && echo 0 || echo $?; }

"$quorvix" --preferences &
first=$!
pids+=($first)
check "the command line opens the window" windows 1
cover
click "Cấu hình…"
check "the menu brings that window forward" forward
check "and leaves one window" windows 1
cover
check "the command line hands the request over and exits" test "$(from_terminal)" = 0
check "the command line brings that window forward" forward
check "and leaves one window" windows 1
kill "$first"
wait "$first" || true
check "the window is gone with its process" windows 0
cover
click "Cấu hình…"
check "the menu opens the window" windows 1
pids+=("$(xdotool getwindowpid "$(preferences_windows)")")
check "the command line, asked next, hands the request over" test "$(from_terminal)" = 0
check "and leaves one window" windows 1

exit $((failures > 0))
