#!/usr/bin/env bash
# Types a Telex and a VNI sentence, in replace and in pre-edit mode, into a GTK 3 text field
# through the fcitx5 daemon with Quorvix as installed by scripts/run.sh, under a virtual X server
# of its own, and prints what the field holds after each.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
addon=$(find "$root/out" -name libquorvix-fcitx5.so -print -quit 2>/dev/null || true)
if [ -z "$addon" ]; then
  echo "Quorvix is not installed under $root/out: run scripts/run.sh first." >&2
  exit 1
fi
exec dbus-run-session -- "$root/tests/app/e2e/run.sh" "${addon%.so}" \
  "$root/app/platform/fcitx5/data/addon/quorvix.conf.in" "$root/out/share/fcitx5/inputmethod/quorvix.conf" \
  quorvix "$root/tests/app/e2e/scenarios.txt" 2> >(grep -v '^dbus-daemon' >&2)
