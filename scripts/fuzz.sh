#!/usr/bin/env bash
# fuzz.sh [seconds per target]: builds the libFuzzer targets with clang and runs each one from
# its seed corpus for a bounded time. Any crash, sanitizer report or broken invariant fails.
# New inputs are kept in a scratch folder, never in the repository's seed corpus. The random seed
# is fixed (FUZZ_SEED overrides it), so that a run repeats a prefix of the same exploration: a
# slower machine explores less of it, never something else.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-15}
seed=${FUZZ_SEED:-1}

CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRX_FUZZ=ON

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in config host charset; do
  mkdir -p "$scratch/$target"
  echo "== fuzz_$target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/fuzz_$target" -seed="$seed" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$scratch/$target-" "$scratch/$target" "fuzz/corpus/$target" \
    2>"$scratch/$target.log" || {
      tail -60 "$scratch/$target.log"
      echo "fuzz_$target found a fault; the input is in the log above"
      exit 1
    }
  grep -E '^stat::number_of_executed_units' "$scratch/$target.log" | sed "s/^/fuzz_$target /"
done
