#!/usr/bin/env bash
# scripts/xinputrc.sh as the set-up and the removal run it, from each state a user's choice of
# input method framework may be in: the user's ~/.xinputrc is chosen and given back as it was, and
# the system's choice for every user is never written, also when run as root.
# Usage: xinputrc_test.sh <source folder> <work folder>
set -euo pipefail
source_dir=$1
work=$2
script="$source_dir/scripts/xinputrc.sh"
system=/etc/X11/xinit/xinputrc
failures=0
fail() {
  echo "FAIL ($case): $*" >&2
  failures=$((failures + 1))
}

# A choice as im-config writes it.
generated() { printf '# im-config(8) generated on Mon, 07 Dec 2026 10:00:00 +0000\nrun_im %s\n# im-config signature: %s\n' "$1" \
  "$(printf '# im-config(8) generated on Mon, 07 Dec 2026 10:00:00 +0000\nrun_im %s\n' "$1" | md5sum)"; }

# name | what ~/.xinputrc holds before ("-" for no file) | whether `choose` makes it choose Fcitx5
cases=(
  "no file|-|yes"
  "im-config's choice of IBus|$(generated ibus)|yes"
  "written by hand|run_im ibus|no"
  "Fcitx5 already|$(generated fcitx5)|no"
)
system_before=$(cat "$system" 2>/dev/null || echo "-")
for row in "${cases[@]}"; do
  IFS='|' read -r case before chosen <<<"$row"
  home="$work/$case"
  rm -rf "$home"
  mkdir -p "$home"
  export HOME="$home"
  if [ "$before" != "-" ]; then printf '%s\n' "$before" >"$home/.xinputrc"; fi
  said=$("$script" choose)
  grep -q "$home/.xinputrc" <<<"$said" || fail "choose does not say which file: $said"
  if [ "$chosen" = yes ]; then
    grep -qx 'run_im fcitx5' "$home/.xinputrc" || fail "~/.xinputrc does not choose Fcitx5"
    grep -q "left as it is" <<<"$said" || fail "choose does not say the system's choice stays: $said"
  else
    [ "$(cat "$home/.xinputrc")" = "$before" ] || fail "~/.xinputrc was changed"
    [ ! -e "$home/.xinputrc.before-quorvix" ] || fail "a choice it did not replace was kept"
  fi
  # Chosen twice, the choice from before stays the one kept.
  "$script" choose >/dev/null
  "$script" restore >/dev/null
  if [ "$before" = "-" ]; then
    [ ! -e "$home/.xinputrc" ] || fail "~/.xinputrc is left after restore"
  else
    [ "$(cat "$home/.xinputrc")" = "$before" ] || fail "~/.xinputrc is not what it was: $(cat "$home/.xinputrc")"
  fi
  [ ! -e "$home/.xinputrc.before-quorvix" ] || fail "the kept choice is left after restore"
  [ "$(cat "$system" 2>/dev/null || echo "-")" = "$system_before" ] || fail "$system was written"
done
exit $((failures > 0))
