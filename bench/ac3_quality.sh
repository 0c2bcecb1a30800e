#!/usr/bin/env bash
# Quality and speed of the AC-3 encoder (TDolbyAC3AudioEncoder with the AC3SUBE library) against
# ffmpeg's ac3 encoder.
#
# Synthesises a reproducible 10 s, 48 kHz stereo music-and-speech clip (plucked chord, speech on
# a hum, noise bursts, a quiet tone after silence, bass with clicks and a high tone, a wide
# stereo mix), encodes it at 192 and 448 kbit/s with each encoder, decodes every stream with
# ffmpeg and measures it against the source with audio_quality.py (segmental SNR and
# noise-to-mask ratios in critical bands after aligning the coder delay). Then it times each
# encoder on a minute of the clip (user + system CPU seconds of the whole process) and prints the
# times real time; the encoder tool also reports the CPU time of the AC-3 encoder alone.
#
# Needs: cmake, ninja, g++, sox, espeak-ng, ffmpeg, python3 with numpy
# (apt: sox espeak-ng ffmpeg python3-numpy). Work files go to build/ac3-bench/quality.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/ac3-bench
work=$build/quality
python=/usr/bin/python3
[ -x "$python" ] || python=python3

. "$root/bench/audio_bench_common.sh"
require_tools cmake ninja g++ sox espeak-ng ffmpeg

# ---- the encoder tool and the library (Release) ---------------------------------------------------
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF -DQUILLSET_BENCH=ON >/dev/null
cmake --build "$build" --target qs_encoder qs_stream AC3SUBE >/dev/null
g++ -O2 -std=c++20 -I"$root" -o "$build/bin/ac3_encode_tool" bench/ac3_encode_tool.cpp \
  "$build/encoder/libqs_encoder.a" "$build/stream/libqs_stream.a" -lpthread -ldl
quillset=$root/$build/bin/ac3_encode_tool

# ---- the clip -------------------------------------------------------------------------------------
rm -rf "$work"
mkdir -p "$work"
cd "$work"
synthesise_clip clip.wav
s clip.wav long.wav repeat 5                                            # 60 s for the timing

# ---- quality --------------------------------------------------------------------------------------
encode() { # encoder source.wav out.ac3 kbps
  case $1 in
    quillset) "$quillset" "$2" "$3" "$4" 0 ;;
    ffmpeg-ac3) ffmpeg -v error -nostdin -y -i "$2" -c:a ac3 -b:a "${4}k" -f ac3 "$3" ;;
  esac
}
encoders="quillset ffmpeg-ac3"
printf '\n%-24s %-11s %10s %10s %15s %16s\n' "case" "encoder" "segSNR dB" "NMR dB" "tonal NMR dB" "frames > tonal"
for rate in 192 448; do
  for e in $encoders; do
    encode "$e" clip.wav "$e-$rate.ac3" "$rate" 2>/dev/null
    read -r snr nmr tonal over delay < <(measure clip.wav "$e-$rate.ac3" -err_detect crccheck)
    printf '%-24s %-11s %10s %10s %15s %15s%%\n' "AC-3 48 kHz $rate kbit/s" "$e" "$snr" "$nmr" "$tonal" "$over"
  done
done

# ---- speed ----------------------------------------------------------------------------------------
printf '\n%-24s %-11s %10s %12s\n' "speed (60 s stereo)" "encoder" "CPU s" "x real time"
for rate in 192 448; do
  for e in $encoders; do
    t=$(cpu encode "$e" long.wav "speed-$e.ac3" "$rate")
    printf '%-24s %-11s %10.3f %12.0f\n' "AC-3 48 kHz $rate kbit/s" "$e" "$t" "$(awk "BEGIN { print 60 / $t }")"
  done
  printf '%-24s %-11s %s\n' "" "(encoder)" "$("$quillset" long.wav speed-own.ac3 "$rate" 0 2>&1 >/dev/null)"
done
