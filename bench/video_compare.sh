#!/usr/bin/env bash
# Quillset's video encoder against ffmpeg's mpeg2video and mjpegtools' mpeg2enc on one clip.
#
# Synthesises a reproducible 10 s, 720x480, 29.97 fps clip (ffmpeg's testsrc2 pattern over a
# moving mandelbrot zoom, with temporal noise of strength NOISE, default 3), encodes it with
# each encoder as progressive MPEG-2 at 4 Mbit/s constant rate with the GOP of the DVD
# templates (18 pictures, two B pictures between references), decodes every stream with ffmpeg
# and prints, per encoder, the encoding speed (frames per second of wall time), the stream's bit
# rate, and the PSNR and SSIM of the decoded pictures against the source (ffmpeg's psnr and ssim
# filters).
#
# Quillset runs through "quillset encode" when that can encode video, otherwise through
# bench/video_encode_driver.cpp, a small driver of the encoder library.
#
# Needs: cmake, ninja, g++, bc, ffmpeg, mpeg2enc (apt: ffmpeg mjpegtools bc). Work files go to
# build/video-bench/compare.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/video-bench
work=$build/compare
seconds=${SECONDS_OF_CLIP:-10}
noise=${NOISE:-3}
rate=4000000

for tool in cmake ninja g++ bc ffmpeg mpeg2enc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# ---- the encoder (Release) -----------------------------------------------------------------------
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF -DQUILLSET_BENCH=OFF >/dev/null
targets="qs_encoder qs_stream qs_source"
for t in quillset Mosrik3 Mosrik4 Velnor2D Velnor3D; do
  if ninja -C "$build" -t targets all 2>/dev/null | grep -q "^$t:"; then targets="$targets $t"; fi
done
cmake --build "$build" --target $targets >/dev/null
g++ -O2 -std=c++20 -I"$root" -o "$build/bin/video_encode_driver" bench/video_encode_driver.cpp \
  "$build/source/libqs_source.a" "$build/encoder/libqs_encoder.a" "$build/stream/libqs_stream.a" -lpthread -ldl

# ---- the clip -------------------------------------------------------------------------------------
rm -rf "$work"
mkdir -p "$work"
cd "$work"
ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=720x480:rate=30000/1001:duration=$seconds" \
  -f lavfi -i "mandelbrot=size=720x480:rate=30000/1001" \
  -filter_complex "[1:v]format=yuv420p,scale=720:480[m];[0:v][m]blend=all_mode=average:shortest=1,noise=alls=$noise:allf=t,format=yuv420p" \
  -t "$seconds" -f yuv4mpegpipe clip.y4m
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 clip.y4m)

now() { date +%s.%N; }

# ---- the encoders ---------------------------------------------------------------------------------
encode_quillset() {
  if [ -x "$root/$build/bin/quillset" ] &&
     "$root/$build/bin/quillset" encode -t "DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA.mcf" \
       --set OutputStreamType=MPEG_OutputStreamType_VideoOnly \
       --set Video.VideoEncodeMode=MPEGVideoEncoder_VideoEncodeMode_Progressive \
       --set Video.GOP_I_FrameCount=1 --set Video.GOP_P_FrameCount=5 --set Video.GOP_B_FrameCount=2 \
       --set Video.CBR_BitRate=$rate --quiet --log quillset.log -o quillset.m2v clip.y4m >/dev/null 2>quillset.err &&
     [ -s quillset.m2v ]; then
    echo "quillset encode" >quillset.how
  else
    "$root/$build/bin/video_encode_driver" clip.y4m quillset.m2v --rate $rate --gop 1 5 2 --log quillset.log >/dev/null
    echo "video_encode_driver" >quillset.how
  fi
}
encode_ffmpeg() {
  ffmpeg -nostdin -v error -i clip.y4m -c:v mpeg2video -b:v $rate -minrate $rate -maxrate $rate -bufsize 1835008 \
    -g 18 -bf 2 -f mpeg2video -y ffmpeg.m2v
}
encode_mpeg2enc() {
  mpeg2enc -v 0 -f 8 -b $((rate / 1000)) --cbr -V 224 -G 18 -g 18 -R 2 -I 0 -a 2 -o mpeg2enc.m2v <clip.y4m
}

printf "%-10s %10s %12s %10s %8s   %s\n" encoder fps kbit/s PSNR/dB SSIM notes
for name in quillset ffmpeg mpeg2enc; do
  start=$(now)
  "encode_$name"
  end=$(now)
  fps=$(echo "$frames / ($end - $start)" | bc -l)
  bytes=$(stat -c %s "$name.m2v")
  kbits=$(echo "$bytes * 8 / $seconds / 1000" | bc -l)
  ffmpeg -nostdin -i "$name.m2v" -i clip.y4m \
    -lavfi "[0:v]split[a][b];[1:v]split[c][d];[a][c]psnr;[b][d]ssim" -f null - 2>"$name.metrics" || true
  psnr=$(grep -o 'PSNR y:.* average:[0-9.inf]*' "$name.metrics" | sed 's/.*average://')
  ssim=$(grep -o 'SSIM Y:.* All:[0-9.]*' "$name.metrics" | sed 's/.*All://')
  notes=""
  [ -f "$name.how" ] && notes=$(cat "$name.how")
  printf "%-10s %10.2f %12.1f %10s %8s   %s\n" "$name" "$fps" "$kbits" "$psnr" "$ssim" "$notes"
done
