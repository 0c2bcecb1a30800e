#!/usr/bin/env bash
# Quality and speed of the MPEG-1 Layer II encoder against twolame and ffmpeg's mp2 encoder.
#
# Synthesises a reproducible 10 s music-and-speech clip (plucked chord, speech, noise bursts,
# a quiet tone after silence, bass with clicks and a high tone, a wide stereo mix), encodes it
# at 224 kbit/s 44.1 kHz and 384 kbit/s 48 kHz stereo with each encoder, decodes every stream
# with ffmpeg and measures it against the source with audio_quality.py (segmental SNR and a
# noise-to-mask ratio in critical bands after aligning the coder delay). Then it times each
# encoder on a minute of the clip (user + system CPU seconds) and prints the times real time.
#
# Needs: cmake, ninja, g++, sox, espeak-ng, twolame, ffmpeg, python3 with numpy
# (apt: sox espeak-ng twolame ffmpeg python3-numpy). Work files go to build/mpa-bench/quality.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/mpa-bench
work=$build/quality
python=/usr/bin/python3
[ -x "$python" ] || python=python3

. "$root/bench/audio_bench_common.sh"
require_tools cmake ninja g++ sox espeak-ng twolame ffmpeg

# ---- the encoder tool (Release; QUILLSET_MPA_TOOL names a ready-built one) ---------------------------
quillset=${QUILLSET_MPA_TOOL:-}
if [ -z "$quillset" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF -DQUILLSET_BENCH=ON >/dev/null
  cmake --build "$build" --target qs_encoder qs_stream >/dev/null
  g++ -O2 -std=c++20 -I"$root" -o "$build/mpeg_audio_encode_tool" bench/mpeg_audio_encode_tool.cpp \
    "$build/encoder/libqs_encoder.a" "$build/stream/libqs_stream.a" -lpthread -ldl
  quillset=$root/$build/mpeg_audio_encode_tool
fi

# ---- the clip -------------------------------------------------------------------------------------
rm -rf "$work"
mkdir -p "$work"
cd "$work"
synthesise_clip clip48.wav
s clip48.wav -b 16 -r 44100 clip44.wav rate -v
for f in 44 48; do s clip$f.wav long$f.wav repeat 5; done              # 60 s for the timing

# ---- quality --------------------------------------------------------------------------------------
encode() { # encoder source.wav out.mp2 kbps
  case $1 in
    quillset) "$quillset" "$2" "$3" 2 "$4" 0 ;;
    twolame) twolame --quiet -m s -b "$4" "$2" "$3" ;;
    ffmpeg-mp2) ffmpeg -v error -nostdin -y -i "$2" -c:a mp2 -b:a "${4}k" -f mp2 "$3" ;;
  esac
}
encoders="quillset twolame ffmpeg-mp2"
printf '\n%-28s %-11s %10s %10s %15s %16s\n' "case" "encoder" "segSNR dB" "NMR dB" "tonal NMR dB" "frames > tonal"
for c in "44 224 44.1" "48 384 48"; do
  set -- $c
  for e in $encoders; do
    encode "$e" clip$1.wav "$e-$1.mp2" "$2"
    read -r snr nmr tonal over delay < <(measure clip$1.wav "$e-$1.mp2")
    printf '%-28s %-11s %10s %10s %15s %15s%%\n' "Layer II $3 kHz $2 kbit/s" "$e" "$snr" "$nmr" "$tonal" "$over"
  done
done

# ---- speed ----------------------------------------------------------------------------------------
printf '\n%-28s %-11s %10s %12s\n' "speed (60 s stereo)" "encoder" "CPU s" "x real time"
for c in "44 224 44.1" "48 384 48"; do
  set -- $c
  for e in $encoders; do
    t=$(cpu encode "$e" long$1.wav "speed-$e.mp2" "$2")
    printf '%-28s %-11s %10.3f %12.0f\n' "Layer II $3 kHz $2 kbit/s" "$e" "$t" "$(awk "BEGIN { print 60 / $t }")"
  done
done
