#!/usr/bin/env bash
# Installs what is missing, builds in release mode and runs every benchmark of bench/, then
# prints one table of the figures with their targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQRX_BUILD_TESTS=OFF -DQRX_BUILD_BENCH=ON >&2

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
for bench in build-release/bench/bench_*; do
  name=$(basename "$bench")
  echo "running $name" >&2
  "$bench" --benchmark_format=console --benchmark_out="$reports/$name.json" --benchmark_out_format=json >/dev/null
done
python3 tools/bench_report.py "$reports"/*.json
