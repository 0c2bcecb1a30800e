#!/usr/bin/env bash
# Builds and runs every test: unit, kernel and conformance tests (with AddressSanitizer and
# UndefinedBehaviorSanitizer), then each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSET_SANITIZE=ON -DQUILLSET_BENCH=ON
cmake --build build/test
QUILLSET_REQUIRE_TOOLS=1 ctest --test-dir build/test --output-on-failure -j "$jobs"

CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSET_TESTS=OFF \
  -DQUILLSET_FUZZ=ON
cmake --build build/fuzz
ctest --test-dir build/fuzz --output-on-failure -L fuzz -j "$jobs"
