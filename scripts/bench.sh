#!/usr/bin/env bash
# Installs what is missing, builds in release mode and runs every benchmark of bench/, each five
# times (the table shows medians), counts the instructions per key of the typing benchmarks under
# cachegrind, then prints one table of the figures with their targets.
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
  "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_format=console \
    --benchmark_out="$reports/$name.json" --benchmark_out_format=json >/dev/null
done

echo "counting instructions per key" >&2
counted=()
for method in telex vni; do
  for mode in replace preedit; do
    counted+=("build-release/bench/bench_ffi:BM_HostLoopText/${method}_$mode"
              "build-release/bench/bench_session:BM_SessionText/${method}_$mode")
  done
  counted+=("build-release/bench/bench_typing:BM_TypeText/$method")
done
python3 tools/instructions_per_key.py "$reports/instructions.json" 16384 131072 "${counted[@]}"
# A key through a whole Fcitx5 instance: Quorvix beside the keyboard input method, with 64 and
# with 20,000 characters of surrounding text.
app_keys=()
for surrounding in 64 20000; do
  for im in quorvix_replace quorvix_preedit keyboard; do
    app_keys+=("build-release/bench/bench_app_keys:BM_FcitxKey/$im/surrounding:$surrounding")
  done
done
python3 tools/instructions_per_key.py "$reports/instructions_fcitx5.json" 1000 4000 "${app_keys[@]}"

python3 tools/bench_report.py "$reports"/*.json
