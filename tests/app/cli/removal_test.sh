#!/usr/bin/env bash
# The README's removal, as written: after the set-up's steps for one user (an installation, the
# registration, the profile entry, im-config's choice, the server's cache, the settings),
# scripts/remove.sh takes each back and keeps the settings; with --settings it takes them too. The
# system's choice of input method framework is never written.
# Usage: removal_test.sh <build folder> <source folder> <work folder>
set -euo pipefail
build=$1
source_dir=$2
work=$3
rm -rf "$work"
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/run" DBUS_SESSION_BUS_ADDRESS=
unset FCITX_CONFIG_HOME FCITX_DATA_HOME FCITX_CONFIG_DIRS FCITX_DATA_DIRS
prefix="$work/out"
system=/etc/X11/xinit/xinputrc
system_before=$(cat "$system" 2>/dev/null || echo "-")
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# file | whether it is there after the removal
expect() {
  if [ "$2" = there ]; then [ -e "$1" ] || fail "$1 is gone"; else [ ! -e "$1" ] || fail "$1 is still there"; fi
}

for component in app fcitx5; do cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null; done
# What scripts/run.sh sets up for the user; without a running Fcitx5 its enable step fails.
"$prefix/bin/quorvix" --repair-input-source >/dev/null 2>&1 || true
"$source_dir/scripts/xinputrc.sh" choose >/dev/null
mkdir -p "$XDG_CACHE_HOME/quorvix/fcitx5-settings"
profile="$XDG_CONFIG_HOME/fcitx5/profile"
registered=("$XDG_DATA_HOME/fcitx5/addon/quorvix.conf" "$XDG_DATA_HOME/fcitx5/inputmethod/quorvix.conf")
settings="$XDG_CONFIG_HOME/quorvix/config.json"
for file in "${registered[@]}" "$profile" "$HOME/.xinputrc" "$settings"; do
  [ -e "$file" ] || { echo "the set-up did not make $file" >&2; exit 1; }
done
grep -qx "Name=quorvix" "$profile" || { echo "the set-up did not list Quorvix in $profile" >&2; exit 1; }

said=$("$source_dir/scripts/remove.sh" "$prefix") || fail "scripts/remove.sh failed: $said"
for file in "${registered[@]}" "$prefix" "$XDG_CACHE_HOME/quorvix" "$HOME/.xinputrc" "$HOME/.xinputrc.before-quorvix"; do
  expect "$file" gone
done
expect "$settings" there
expect "$profile" there
grep -q "quorvix" "$profile" && fail "$profile still lists Quorvix"
grep -qx "Name=keyboard-us" "$profile" || fail "$profile lost the keyboard layout"
for line in "prefs removed: true" "unregister status: 0" "Removed the installation, $prefix." \
  "The settings stay in $XDG_CONFIG_HOME/quorvix"; do
  grep -qF "$line" <<<"$said" || fail "scripts/remove.sh does not say \"$line\": $said"
done

said=$("$source_dir/scripts/remove.sh" --settings "$prefix") || fail "scripts/remove.sh --settings failed: $said"
expect "$XDG_CONFIG_HOME/quorvix" gone
grep -qF "Removed the settings, $XDG_CONFIG_HOME/quorvix." <<<"$said" || fail "--settings does not say so: $said"

[ "$(cat "$system" 2>/dev/null || echo "-")" = "$system_before" ] || fail "$system was written"
exit $((failures > 0))
