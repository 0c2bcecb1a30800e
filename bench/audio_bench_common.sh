# Shared parts of the audio quality scripts (ac3_quality.sh, audio_quality.sh): sourced, not run.
# Expects $root (the repository) and $python (an interpreter with numpy) to be set by the caller.

# require_tools tool... -> exits with "missing: <tool>" when a tool or numpy is not there.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
  done
  "$python" -c 'import numpy' 2>/dev/null || { echo "missing: numpy for $python" >&2; exit 1; }
}

# s sox-arguments... -> sox with repeatable dither and noise
s() { sox -R -D "$@"; }

# synthesise_clip out.wav -> a reproducible 10 s, 48 kHz, 16-bit stereo music-and-speech clip,
# built in the current folder: plucked chord, speech on a hum, noise bursts, a quiet tone after
# silence, bass with clicks and a high tone, a wide stereo mix.
synthesise_clip() {
  local r=48000
  s -n -r $r -c 3 chord3.wav synth 2 pluck C4 pluck E4 pluck G4
  s chord3.wav chord.wav remix 1,2,3
  s chord.wav seg1.wav remix 1v0.9 1v0.7                                  # 0 - 2 s: plucked chord
  espeak-ng -s 150 -w speech22.wav "The quick brown fox jumps over the lazy dog. Seven silver swans."
  s speech22.wav -r $r speech.wav rate -v
  s -V1 speech.wav speech25.wav pad 0 3 trim 0 2.5  # the pad only guards a short voice
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
  s -V1 speech.wav speech2.wav pad 0 3 trim 0 2
  s speech2.wav speech2s.wav remix 1v0.8 1v0.2
  s -m wide.wav pink.wav speech2s.wav seg6.wav                            # 8 - 10 s: wide stereo
  s seg1.wav seg2.wav seg3.wav seg4.wav seg5.wav seg6.wav -b 16 "$1"
}

# measure source.wav coded [ffmpeg input options...] -> "segSNR NMR tonalNMR over delay": decodes
# the coded stream with ffmpeg and compares it with the source (audio_quality.py).
measure() {
  local source=$1 coded=$2
  shift 2
  ffmpeg -v error -nostdin -y "$@" -i "$coded" -c:a pcm_s16le "$coded.wav"
  "$python" "$root/bench/audio_quality.py" "$source" "$coded.wav" | sed 's/[a-z_]*=//g'
}

# cpu command... -> user + system CPU seconds of it and its children
cpu() {
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
