#!/usr/bin/env bash
# Installs what is missing, builds the engine in release mode and installs libquorvix (shared and
# static), its header, quorvix.pc and the CMake package under out/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQRX_BUILD_TESTS=OFF -DQRX_BUILD_BENCH=OFF
cmake --install build-release --prefix "$root/out" --component quorvix >/dev/null
echo "Installed libquorvix under $root/out:"
find "$root/out" -type f -o -type l | sed "s|$root/||" | sort
