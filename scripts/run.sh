#!/usr/bin/env bash
# Installs what is missing and builds the engine libraries in release mode.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQRX_BUILD_TESTS=OFF
echo "Built the engine libraries in build-release/."
