#!/usr/bin/env bash
# Types a Telex and a VNI sentence, in replace and in pre-edit mode, into a GTK 3 text field
# (the idle field's lines of the end-to-end scenarios; the Qt 6 field is a test program, not installed)
# through the fcitx5 daemon with Quorvix as installed by scripts/run.sh, under a virtual X server
# of its own, and prints what the field holds after each. An argument names another installation
# prefix than out/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath -m "${1:-$root/out}")
addon=$(find "$prefix" -name libquorvix-fcitx5.so -print -quit 2>/dev/null || true)
if [ -z "$addon" ]; then
  echo "Quorvix is not installed under $prefix: run scripts/run.sh first." >&2
  exit 1
fi
exec dbus-run-session -- "$root/tests/app/e2e/run.sh" "${addon%.so}" \
  "$root/app/platform/fcitx5/data/addon/quorvix.conf.in" "$prefix/share/fcitx5/inputmethod/quorvix.conf" \
  quorvix "$root/tests/app/e2e/scenarios.txt" "" '^gtk3$' 2> >(grep -v '^dbus-daemon' >&2)
