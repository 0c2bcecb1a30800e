#!/usr/bin/env bash
# Builds the program (release) and runs it with the given arguments. Without any, it encodes the
# built-in demo source (10 s of moving test picture with a tone) with a DVD template into a
# DVD-Video program stream, demo/quillset-demo.mpg, ready for dvdauthor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF >/dev/null
cmake --build build/release --target quillset
if [ $# -gt 0 ]; then
  exec build/release/bin/quillset "$@"
fi
mkdir -p demo
build/release/bin/quillset encode --demo --dvd-video -t "DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA" \
  -o demo/quillset-demo
echo
echo "The demo went to $(pwd)/demo/quillset-demo.mpg (DVD-Video program stream)."
echo "Author a disc from it with: dvdauthor -o demo/dvd -t demo/quillset-demo.mpg && VIDEO_FORMAT=NTSC dvdauthor -o demo/dvd -T"
