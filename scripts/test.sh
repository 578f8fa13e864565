#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in an ordinary build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

scripts/setup.sh

echo "== build and test"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --parallel "$jobs"

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQRX_SANITIZE=ON -DQRX_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure --parallel "$jobs"

echo "== fuzz targets, 15 seconds each"
scripts/fuzz.sh 15
