#!/usr/bin/env bash
# Types into real text fields (GTK 3 over Fcitx5's D-Bus frontend or over XIM, Qt 6) through the
# real fcitx5 daemon, under a virtual X server, and reads back what each field holds.
#
# usage: run.sh <addon library> <addon .conf> <input method .conf> <input method> <scenarios>
#               <Qt 6 field program> <fields>
# Each line of the scenarios file:
#   field|key delay in ms|output_mode|input_method|keys to type|text the field must hold
# field is gtk3, gtk3-busy, gtk3-xim, qt6 or qt6-busy: a busy field's application is blocked for
# 300 ms once a second. An output_mode or input_method of "default" leaves the key out of the
# configuration file. Only the lines whose field matches the regular expression <fields> run.
# Run it inside its own D-Bus session (dbus-run-session).
set -euo pipefail
library=$(realpath -m "$1") addon_conf=$2 im_conf=$3 im=$4 scenarios=$5 qt_field=$6 fields=$7
here=$(cd "$(dirname "$0")" && pwd)

source "$here/session.sh"
export QT_QPA_PLATFORM=xcb

# Registered for this user, as the maintenance command registers it.
use_input_method "$im"
sed "s|^Library=.*|Library=$library|" "$addon_conf" >"$XDG_DATA_HOME/fcitx5/addon/$im.conf"
cp "$im_conf" "$XDG_DATA_HOME/fcitx5/inputmethod/$im.conf"

start_x_server
start_fcitx5

# The configuration file with the keys that are not "default".
configure() {
  local mode=$1 method=$2 keys=()
  [[ $method != default ]] && keys+=("\"input_method\": \"$method\"")
  [[ $mode != default ]] && keys+=("\"output_mode\": \"$mode\"")
  rm -f "$XDG_CONFIG_HOME/quorvix/config.json"
  if ((${#keys[@]})); then
    (IFS=,; printf '{%s}' "${keys[*]}") >"$XDG_CONFIG_HOME/quorvix/config.json"
  fi
}

# start_field <field> <title> <output file>: starts the field's program; its process is $field.
start_field() {
  local kind=$1 title=$2 out=$3 busy=()
  [[ $kind == *-busy ]] && busy=(busy)
  (
    case $kind in
      gtk3 | gtk3-busy) GTK_IM_MODULE=fcitx exec /usr/bin/python3 "$here/entry.py" "$title" "${busy[@]}" ;;
      gtk3-xim) GTK_IM_MODULE=xim exec /usr/bin/python3 "$here/entry.py" "$title" ;;
      qt6 | qt6-busy) exec "$qt_field" "$title" "${busy[@]}" ;;
      *) echo "unknown field $kind" >&2 ;;
    esac
  ) >"$out" 2>"$out.err" &
  field=$!
}

failures=0
number=0
while IFS='|' read -r kind delay mode method keys expected; do
  [[ -z "$kind" || "$kind" == \#* ]] && continue
  [[ $kind =~ $fields ]] || continue
  number=$((number + 1))
  configure "$mode" "$method"
  title="e2e-field-$number"
  out="$home/field-$number.out"
  start_field "$kind" "$title" "$out"
  wait_for 60 "the text field" grep -q READY "$out"
  focus_window "$title"
  focused() { [ "$(current_im)" = "$im" ]; }
  wait_for 30 "$im to be the field's input method" focused
  xdotool type --delay "$delay" "$keys"
  holds() { [ "$(grep '^TEXT:' "$out" | tail -1)" = "TEXT:$expected" ]; }
  what="$kind, keys ${delay} ms apart, $mode $method"
  if wait_for 30 "the field to hold \"$expected\"" holds; then
    echo "ok $number: $what: \"$keys\" -> \"$expected\""
  else
    echo "FAIL $number: $what: \"$keys\": field holds \"$(grep '^TEXT:' "$out" | tail -1 | cut -c6-)\"," \
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
