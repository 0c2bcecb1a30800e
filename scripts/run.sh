#!/usr/bin/env bash
# Builds the program (release) and runs it with the given arguments; without any, shows its help.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF >/dev/null
cmake --build build/release --target quillset
if [ $# -eq 0 ]; then
  set -- --help
fi
exec build/release/bin/quillset "$@"
