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

for tool in cmake ninja g++ sox espeak-ng twolame ffmpeg; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
"$python" -c 'import numpy' 2>/dev/null || { echo "missing: numpy for $python" >&2; exit 1; }

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
s() { sox -R -D "$@"; }
r=48000
s -n -r $r -c 3 chord3.wav synth 2 pluck C4 pluck E4 pluck G4
s chord3.wav chord.wav remix 1,2,3
s chord.wav seg1.wav remix 1v0.9 1v0.7                                  # 0 - 2 s: plucked chord
espeak-ng -s 150 -w speech22.wav "The quick brown fox jumps over the lazy dog. Seven silver swans."
s speech22.wav -r $r speech.wav rate -v
s -V1 speech.wav speech25.wav pad 0 3 trim 0 2.5  # the pad only guards a short voice
s -n -r $r -c 1 pad.wav synth 2.5 sine 110 vol 0.05
s -m speech25.wav pad.wav seg2m.wav
s seg2m.wav seg2.wav remix 1 1                                          # 2 - 4.5 s: speech on a hum
s -n -r $r -c 2 burst.wav synth 0.05 whitenoise vol 0.6 pad 0 0.15
s burst.wav seg3.wav repeat 4                                           # 4.5 - 5.5 s: noise bursts
s -n -r $r -c 2 seg4.wav synth 1 sine 1000 vol 0.003 fade 0.5 1 0       # 5.5 - 6.5 s: near silence
s -n -r $r -c 1 bass.wav synth 1.5 square 55 vol 0.3
s -n -r $r -c 1 high.wav synth 1.5 sine 12000 vol 0.1
s -n -r $r -c 1 click.wav synth 0.003 whitenoise vol 0.9 pad 0 0.097
s click.wav clicks.wav repeat 14
s -m bass.wav high.wav clicks.wav seg5m.wav
s seg5m.wav seg5.wav remix 1v0.9 1v0.6                                  # 6.5 - 8 s: bass, clicks, 12 kHz
s -n -r $r -c 2 wide.wav synth 2 sawtooth 220 triangle 330 vol 0.25
s -n -r $r -c 2 pink.wav synth 2 pinknoise vol 0.05
s -V1 speech.wav speech2.wav pad 0 3 trim 0 2
s speech2.wav speech2s.wav remix 1v0.8 1v0.2
s -m wide.wav pink.wav speech2s.wav seg6.wav                            # 8 - 10 s: wide stereo
s seg1.wav seg2.wav seg3.wav seg4.wav seg5.wav seg6.wav -b 16 clip48.wav
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
    ffmpeg -v error -nostdin -y -i "$e-$1.mp2" -c:a pcm_s16le "$e-$1.wav"
    read -r snr nmr tonal over delay < <("$python" "$root/bench/audio_quality.py" clip$1.wav "$e-$1.wav" |
      sed 's/[a-z_]*=//g')
    printf '%-28s %-11s %10s %10s %15s %15s%%\n' "Layer II $3 kHz $2 kbit/s" "$e" "$snr" "$nmr" "$tonal" "$over"
  done
done

# ---- speed ----------------------------------------------------------------------------------------
cpu() { # command... -> user + system CPU seconds of it and its children
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
printf '\n%-28s %-11s %10s %12s\n' "speed (60 s stereo)" "encoder" "CPU s" "x real time"
for c in "44 224 44.1" "48 384 48"; do
  set -- $c
  for e in $encoders; do
    t=$(cpu encode "$e" long$1.wav "speed-$e.mp2" "$2")
    printf '%-28s %-11s %10.3f %12.0f\n' "Layer II $3 kHz $2 kbit/s" "$e" "$t" "$(awk "BEGIN { print 60 / $t }")"
  done
done
