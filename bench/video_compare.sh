#!/usr/bin/env bash
# Quillset's video encoder at every motion-search speed against ffmpeg's mpeg2video (defaults, and
# its high-quality settings -mbd rd -trellis 2 -cmp 2 -subcmp 2 -dia_size 2) and mjpegtools'
# mpeg2enc, on one clip.
#
# The clip (CLIP=pan, the default) stands in for natural camera footage: a slow pan over a
# large synthesised still (a mandelbrot detail softened like a photograph) with temporal grain
# of strength NOISE (default 4); CLIP=testsrc gives the older synthetic clip (ffmpeg's testsrc2
# over a moving mandelbrot zoom). 720x480 at 29.97 fps, SECONDS_OF_CLIP seconds (default 10).
# Every encoder writes progressive MPEG-2 at 4 Mbit/s constant rate with the GOP of the DVD
# templates (18 pictures, two B pictures between references), single-threaded; every stream is
# decoded with ffmpeg and the table gives, per encoder, the encoding speed (pictures per second
# of wall time), the stream's bit rate, and the PSNR and SSIM of the decoded pictures against the
# source (ffmpeg's psnr and ssim filters). SPEEDS lists the Quillset speeds (default 0 to 7;
# 5 = MotionEstimate is the templates' default).
#
# Quillset runs through bench/video_encode_driver.cpp, a small driver of the encoder library.
#
# Needs: cmake, ninja, g++, bc, ffmpeg, mpeg2enc (apt: ffmpeg mjpegtools bc). Work files go to
# build/video-bench/compare.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build/video-bench}
work=$build/compare
seconds=${SECONDS_OF_CLIP:-10}
noise=${NOISE:-4}
clip=${CLIP:-pan}
speeds=${SPEEDS:-0 1 2 3 4 5 6 7}
rate=4000000

for tool in cmake ninja g++ bc ffmpeg mpeg2enc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# ---- the encoder (Release) -----------------------------------------------------------------------
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF -DQUILLSET_BENCH=OFF >/dev/null
targets="qs_encoder qs_stream qs_source qs_mosrik3 qs_mosrik4"
cmake --build "$build" --target $targets >/dev/null
g++ -O2 -std=c++20 -I"$root" -o "$build/bin/video_encode_driver" bench/video_encode_driver.cpp \
  "$build/source/libqs_source.a" "$build/encoder/libqs_encoder.a" "$build/stream/libqs_stream.a" -lpthread -ldl

# ---- the clip -------------------------------------------------------------------------------------
rm -rf "$work"
mkdir -p "$work"
cd "$work"
if [ "$clip" = testsrc ]; then
  ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=720x480:rate=30000/1001:duration=$seconds" \
    -f lavfi -i "mandelbrot=size=720x480:rate=30000/1001" \
    -filter_complex "[1:v]format=yuv420p,scale=720:480[m];[0:v][m]blend=all_mode=average:shortest=1,noise=alls=$noise:allf=t,format=yuv420p" \
    -t "$seconds" -f yuv4mpegpipe clip.y4m
else
  # The still: a 1600x1000 mandelbrot detail, softened and given film-like fixed texture.
  ffmpeg -nostdin -v error -f lavfi -i "mandelbrot=size=1600x1000:start_x=-0.7435669:start_y=0.1314023:start_scale=0.0009:maxiter=2000" \
    -frames:v 1 -vf "gblur=sigma=1.2,noise=alls=8:allf=u,format=yuv420p" -y still.png
  # A pan of about 36 samples per second across, 12 down, with temporal grain.
  ffmpeg -nostdin -v error -loop 1 -framerate 30000/1001 -i still.png \
    -vf "crop=720:480:x='40+t*36':y='30+t*12',noise=alls=$noise:allf=t,format=yuv420p" \
    -t "$seconds" -f yuv4mpegpipe clip.y4m
fi
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 clip.y4m)

now() { date +%s.%N; }

# ---- the encoders ---------------------------------------------------------------------------------
encode_quillset() { # speed
  "$root/$build/bin/video_encode_driver" clip.y4m "quillset-s$1.m2v" --rate $rate --gop 1 5 2 --speed "$1" \
    --log "quillset-s$1.log" >/dev/null
  echo "speed $1" >"quillset-s$1.how"
}
encode_ffmpeg() {
  ffmpeg -nostdin -v error -i clip.y4m -threads 1 -c:v mpeg2video -b:v $rate -minrate $rate -maxrate $rate \
    -bufsize 1835008 -g 18 -bf 2 -f mpeg2video -y ffmpeg.m2v
}
encode_ffmpeg-hq() {
  ffmpeg -nostdin -v error -i clip.y4m -threads 1 -c:v mpeg2video -b:v $rate -minrate $rate -maxrate $rate \
    -bufsize 1835008 -g 18 -bf 2 -mbd rd -trellis 2 -cmp 2 -subcmp 2 -dia_size 2 -f mpeg2video -y ffmpeg-hq.m2v
}
encode_mpeg2enc() {
  mpeg2enc -v 0 -f 8 -b $((rate / 1000)) --cbr -V 224 -G 18 -g 18 -R 2 -I 0 -a 2 -o mpeg2enc.m2v <clip.y4m
}

printf "%-14s %10s %12s %10s %8s   %s\n" encoder fps kbit/s PSNR/dB SSIM notes
run() { # name, command...
  local name=$1
  shift
  start=$(now)
  "$@"
  end=$(now)
  fps=$(echo "$frames / ($end - $start)" | bc -l)
  bytes=$(stat -c %s "$name.m2v")
  kbits=$(echo "$bytes * 8 / $seconds / 1000" | bc -l)
  # The filters pair pictures by time stamp, and a decoded stream with B pictures starts later
  # than the source: both start at 0.
  ffmpeg -nostdin -i "$name.m2v" -i clip.y4m \
    -lavfi "[0:v]setpts=PTS-STARTPTS,split[a][b];[1:v]setpts=PTS-STARTPTS,split[c][d];[a][c]psnr;[b][d]ssim" \
    -f null - 2>"$name.metrics" || true
  psnr=$(grep -o 'PSNR y:.* average:[0-9.inf]*' "$name.metrics" | sed 's/.*average://')
  ssim=$(grep -o 'SSIM Y:.* All:[0-9.]*' "$name.metrics" | sed 's/.*All://')
  notes=""
  [ -f "$name.how" ] && notes=$(cat "$name.how")
  printf "%-14s %10.2f %12.1f %10s %8s   %s\n" "$name" "$fps" "$kbits" "$psnr" "$ssim" "$notes"
}
for speed in $speeds; do
  run "quillset-s$speed" encode_quillset "$speed"
done
run ffmpeg encode_ffmpeg
run ffmpeg-hq encode_ffmpeg-hq
run mpeg2enc encode_mpeg2enc
