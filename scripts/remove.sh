#!/usr/bin/env bash
# Takes back what scripts/run.sh set up for the user who runs it: Quorvix out of Fcitx5 (out of
# the running Fcitx5's groups, out of the profile it starts with, and no longer registered in the
# user's Fcitx5 data folder), im-config's choice for this user as it was before, the installation
# and what the quorvix server keeps in the cache folder. The settings stay unless --settings is
# given; so do the Debian packages the set-up installed and the build folders.
#
#   scripts/remove.sh [--settings] [installation prefix, out/ by default]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix="$root/out"
settings=false
for argument in "$@"; do
  case "$argument" in
  --settings) settings=true ;;
  *) prefix=$(realpath -m "$argument") ;;
  esac
done
quorvix="$prefix/bin/quorvix"
failed=0

if [ -x "$quorvix" ]; then
  "$quorvix" --remove-input-source || failed=1
else
  data="${XDG_DATA_HOME:-$HOME/.local/share}/fcitx5"
  echo "There is no $quorvix: remove Quorvix from Fcitx5's input methods with fcitx5-configtool, and"
  echo "  $data/addon/quorvix.conf and $data/inputmethod/quorvix.conf."
fi

"$root/scripts/xinputrc.sh" restore

# Only a folder that holds Quorvix is removed as its installation.
if [ -x "$quorvix" ]; then
  rm -rf "$prefix"
  echo "Removed the installation, $prefix."
elif [ -e "$prefix" ]; then
  echo "$prefix holds no Quorvix installation: it is left as it is."
fi

cache="${XDG_CACHE_HOME:-$HOME/.cache}/quorvix"
rm -rf "$cache"
echo "Removed what the quorvix server keeps, $cache."

config="${XDG_CONFIG_HOME:-$HOME/.config}/quorvix"
if $settings; then
  rm -rf "$config"
  echo "Removed the settings, $config."
else
  echo "The settings stay in $config (scripts/remove.sh --settings removes them too)."
fi
echo "A running Fcitx5 lets go of the addon when it restarts (fcitx5 -r -d)."
exit "$failed"
