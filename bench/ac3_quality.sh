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

for tool in cmake ninja g++ sox espeak-ng ffmpeg; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
"$python" -c 'import numpy' 2>/dev/null || { echo "missing: numpy for $python" >&2; exit 1; }

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
s() { sox -R -D "$@"; }
r=48000
s -n -r $r -c 3 chord3.wav synth 2 pluck C4 pluck E4 pluck G4
s chord3.wav chord.wav remix 1,2,3
s chord.wav seg1.wav remix 1v0.9 1v0.7                                  # 0 - 2 s: plucked chord
espeak-ng -s 150 -w speech22.wav "The quick brown fox jumps over the lazy dog. Seven silver swans."
s speech22.wav -r $r speech.wav rate -v
s speech.wav speech25.wav pad 0 3 trim 0 2.5
s -n -r $r -c 1 hum.wav synth 2.5 sine 110 vol 0.05
s -m speech25.wav hum.wav seg2m.wav
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
s speech.wav speech2.wav pad 0 3 trim 0 2
s speech2.wav speech2s.wav remix 1v0.8 1v0.2
s -m wide.wav pink.wav speech2s.wav seg6.wav                            # 8 - 10 s: wide stereo
s seg1.wav seg2.wav seg3.wav seg4.wav seg5.wav seg6.wav -b 16 clip.wav
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
    ffmpeg -v error -nostdin -y -err_detect crccheck -i "$e-$rate.ac3" -c:a pcm_s16le "$e-$rate.wav"
    read -r snr nmr tonal over delay < <("$python" "$root/bench/audio_quality.py" clip.wav "$e-$rate.wav" |
      sed 's/[a-z_]*=//g')
    printf '%-24s %-11s %10s %10s %15s %15s%%\n' "AC-3 48 kHz $rate kbit/s" "$e" "$snr" "$nmr" "$tonal" "$over"
  done
done

# ---- speed ----------------------------------------------------------------------------------------
cpu() { # command... -> user + system CPU seconds of it and its children
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
printf '\n%-24s %-11s %10s %12s\n' "speed (60 s stereo)" "encoder" "CPU s" "x real time"
for rate in 192 448; do
  for e in $encoders; do
    t=$(cpu encode "$e" long.wav "speed-$e.ac3" "$rate")
    printf '%-24s %-11s %10.3f %12.0f\n' "AC-3 48 kHz $rate kbit/s" "$e" "$t" "$(awk "BEGIN { print 60 / $t }")"
  done
  printf '%-24s %-11s %s\n' "" "(encoder)" "$("$quillset" long.wav speed-own.ac3 "$rate" 0 2>&1 >/dev/null)"
done
