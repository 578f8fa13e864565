#!/usr/bin/env bash
# Installs what is missing, builds in release mode and runs every benchmark of bench/, each five
# times for at least a tenth of a second (the table shows medians), counts the instructions per key
# of the typing benchmarks under cachegrind (the host loop under callgrind, split between its
# calls), then prints one table of the figures with their targets. Takes a few minutes.
#
# Debian's Google Benchmark library is built without NDEBUG and says so ("Library was built as
# DEBUG"); the timed loop is inline in its header, compiled here in release mode, so the figures
# are not affected.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQRX_BUILD_TESTS=OFF -DQRX_BUILD_BENCH=ON >&2

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
for bench in build-release/bench/bench_*; do
  name=$(basename "$bench")
  # The key path through Fcitx5 is timed at its longer length only; the shorter one is there for
  # the instruction count.
  only=()
  [ "$name" = bench_app_keys ] && only=(--benchmark_filter=-/keys:2000$)
  echo "running $name" >&2
  "$bench" "${only[@]}" --benchmark_repetitions=5 --benchmark_min_time=0.1 --benchmark_report_aggregates_only=true \
    --benchmark_format=console --benchmark_out="$reports/$name.json" --benchmark_out_format=json >/dev/null
done

echo "counting instructions per key" >&2
counted=()
host_loop=()
for method in telex vni; do
  for mode in replace preedit; do
    host_loop+=("build-release/bench/bench_ffi:BM_HostLoopText/${method}_$mode")
    counted+=("build-release/bench/bench_session:BM_SessionText/${method}_$mode")
  done
  counted+=("build-release/bench/bench_typing:BM_TypeText/$method")
done
python3 tools/instructions_per_key.py "$reports/instructions.json" 16384 131072 "${counted[@]}"
# The host loop under callgrind, which also tells how its instructions divide between the four
# calls of the C interface and the host's own work.
python3 tools/instructions_per_key.py \
  --calls qrx_display_text,qrx_set_surrounding_text,qrx_process_key,qrx_plan_action_with_fallback \
  "$reports/instructions_host_loop.json" 16384 131072 "${host_loop[@]}"
# A key through a whole Fcitx5 instance: Quorvix beside the keyboard input method in the same
# instance, in fields that tell their text in each way applications do, with 64 and with 20,000
# characters of surrounding text.
app_keys=()
for field in window line late nothing; do
  for surrounding in 64 20000; do
    for im in quorvix_replace quorvix_preedit keyboard; do
      app_keys+=("build-release/bench/bench_app_keys:BM_FcitxKey/$field/$im/surrounding:$surrounding")
    done
  done
done
python3 tools/instructions_per_key.py "$reports/instructions_fcitx5.json" 2000 10000 "${app_keys[@]}"

python3 tools/bench_report.py "$reports"/*.json
