#!/usr/bin/env bash
# Installs the Debian packages a task needs, when they are missing.
#   scripts/deps.sh build   compiler, CMake, Ninja
#   scripts/deps.sh test    + GoogleTest, Google Benchmark, clang's fuzzer, the reference decoders
#                             and authoring tools the conformance tests judge streams with
#   scripts/deps.sh bench   + the peer encoders and measuring tools of the comparison scripts
set -euo pipefail

packages=(g++ cmake ninja-build)
case "${1:-build}" in
  test | bench)
    packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev ffmpeg sox mpeg2dec dvdauthor vcdimager
               mjpegtools) ;;&
  bench)
    packages+=(twolame espeak-ng python3-numpy bc) ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
