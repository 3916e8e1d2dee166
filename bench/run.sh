#!/usr/bin/env bash
# Builds the default preset (build/) and runs the benchmarks. Extra arguments go to the
# benchmark binary (e.g. --benchmark_filter=Parse). BENCH_MIN_TIME sets the minimum time
# per benchmark in seconds (default 1); BENCH_BUILD_DIR builds and runs in another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
min_time="${BENCH_MIN_TIME:-1}"
if [ -n "${BENCH_BUILD_DIR:-}" ]; then
  build="$BENCH_BUILD_DIR"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j 2 --target tarq_bench
else
  build=build
  cmake --preset default >/dev/null
  cmake --build --preset default -j 2 --target tarq_bench
fi
if [ ! -x "$build/tarq_bench" ]; then
  echo "bench/run.sh: $build/tarq_bench was not built (is libbenchmark-dev installed?)" >&2
  exit 1
fi
exec "$build/tarq_bench" --benchmark_min_time="$min_time" "$@"
