#!/usr/bin/env bash
# This user's choice of input method framework in im-config: ~/.xinputrc, which a desktop session
# reads before the system's choice for every user (/etc/X11/xinit/xinputrc). The system's file is
# never written, also when run as root, where `im-config -n` would write it.
#
#   scripts/xinputrc.sh choose    Fcitx5 becomes this user's choice; a file it replaces is kept
#                                 as ~/.xinputrc.before-quorvix
#   scripts/xinputrc.sh restore   the choice is what it was before `choose` replaced it
set -euo pipefail
xinputrc="$HOME/.xinputrc"
kept="$xinputrc.before-quorvix"
system=/etc/X11/xinit/xinputrc
# What the kept file holds when there was no ~/.xinputrc to keep.
none="# There was no $xinputrc before Quorvix's set-up."
# A file im-config wrote signs its lines in its last line; any other was written by hand.
written_by_im_config() { [ "# im-config signature: $(head -n -1 "$1" | md5sum)" = "$(tail -n 1 "$1")" ]; }

# Fcitx5 as this user's choice, written as im-config writes it, so that im-config takes the file
# for one of its own.
write_choice() {
  local lines
  lines="# im-config(8) generated on $(date -R)
run_im fcitx5"
  printf '%s\n# im-config signature: %s\n' "$lines" "$(printf '%s\n' "$lines" | md5sum)" >"$xinputrc.new"
  mv -f "$xinputrc.new" "$xinputrc"
}

case "${1:-}" in
choose)
  if ! command -v im-config >/dev/null; then
    echo "im-config is not installed: this user's choice of input method framework is left as it is."
    exit 0
  fi
  if [ -f "$xinputrc" ] && grep -qx 'run_im fcitx5' "$xinputrc"; then
    echo "im-config: $xinputrc already chooses Fcitx5 for this user; it is left as it is."
    exit 0
  fi
  # As im-config itself, a file written by hand is left as it is.
  if [ -e "$xinputrc" ] && ! written_by_im_config "$xinputrc"; then
    echo "im-config: $xinputrc was written by hand, so it is left as it is; add the line \"run_im fcitx5\""
    echo "  to it for this user's desktop sessions to use Fcitx5."
    exit 0
  fi
  # The choice from before the first set-up is the one kept.
  if [ ! -e "$kept" ]; then
    if [ -e "$xinputrc" ]; then cp -p "$xinputrc" "$kept"; else echo "$none" >"$kept"; fi
  fi
  replaced=$([ -e "$xinputrc" ] && echo "the file it replaced is kept as $kept" || echo "there was none before")
  write_choice
  echo "im-config: $xinputrc now chooses Fcitx5 for the desktop sessions this user starts from now on"
  echo "  ($replaced); the system's choice in $system is left as it is."
  ;;
restore)
  if [ ! -e "$kept" ]; then
    echo "im-config: $xinputrc was not changed by Quorvix's set-up; it is left as it is."
  elif [ "$(cat "$kept")" = "$none" ]; then
    rm -f "$xinputrc" "$kept"
    echo "im-config: $xinputrc removed, as there was none before; the system's choice applies again."
  else
    mv -f "$kept" "$xinputrc"
    echo "im-config: $xinputrc is back to what it was before Quorvix's set-up."
  fi
  ;;
*)
  echo "usage: $0 choose | restore" >&2
  exit 2
  ;;
esac
