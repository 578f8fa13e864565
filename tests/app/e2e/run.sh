#!/usr/bin/env bash
# Types into a GTK 3 text field through the real fcitx5 daemon, under a virtual X server, and
# reads back what the field holds.
#
# usage: run.sh <addon library> <addon .conf> <input method .conf> <input method> <scenarios>
# Each line of the scenarios file: output_mode|input_method|keys to type|text the field must hold
# Run it inside its own D-Bus session (dbus-run-session).
set -euo pipefail
library=$(realpath -m "$1") addon_conf=$2 im_conf=$3 scenarios=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session.sh"

# Registered for this user, as the maintenance command registers it.
use_input_method "$4"
sed "s|^Library=.*|Library=$library|" "$addon_conf" >"$XDG_DATA_HOME/fcitx5/addon/$im.conf"
cp "$im_conf" "$XDG_DATA_HOME/fcitx5/inputmethod/$im.conf"

start_x_server
start_fcitx5

failures=0
number=0
while IFS='|' read -r mode method keys expected; do
  [[ -z "$mode" || "$mode" == \#* ]] && continue
  number=$((number + 1))
  printf '{"input_method": "%s", "output_mode": "%s"}' "$method" "$mode" >"$XDG_CONFIG_HOME/quorvix/config.json"
  title="e2e-field-$number"
  out="$home/field-$number.out"
  /usr/bin/python3 "$here/entry.py" "$title" >"$out" 2>"$home/field-$number.err" &
  field=$!
  wait_for 60 "the text field" grep -q READY "$out"
  wait_for 30 "the field's window" xdotool search --name "^$title\$"
  window=$(xdotool search --name "^$title\$" | head -1)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  focused() { [ "$(current_im)" = "$im" ]; }
  wait_for 30 "$im to be the field's input method" focused
  xdotool type --delay 40 "$keys"
  holds() { [ "$(grep '^TEXT:' "$out" | tail -1)" = "TEXT:$expected" ]; }
  if wait_for 30 "the field to hold \"$expected\"" holds; then
    echo "ok $number: $mode $method \"$keys\" -> \"$expected\""
  else
    echo "FAIL $number: $mode $method \"$keys\": field holds \"$(grep '^TEXT:' "$out" | tail -1 | cut -c6-)\"," \
      "expected \"$expected\""
    failures=$((failures + 1))
  fi
  kill "$field" 2>/dev/null || true
  wait "$field" 2>/dev/null || true
done <"$scenarios"

if ((failures)); then
  echo "--- fcitx5 log"
  tail -40 "$home/fcitx5.log"
fi
((number > 0)) || { echo "no scenarios"; exit 1; }
exit $((failures > 0))
