#!/usr/bin/env bash
# Builds the micro benchmarks in release mode and runs them; arguments go to Google Benchmark
# (for example --benchmark_filter=BitWriter).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF -DQUILLSET_BENCH=ON >/dev/null
cmake --build build/bench --target quillset_bench
exec build/bench/bin/quillset_bench "$@"
