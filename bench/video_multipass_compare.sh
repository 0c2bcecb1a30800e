#!/usr/bin/env bash
# Multipass variable bit rate and the pipeline threads of Quillset's video encoder, on a 720x480
# clip whose complexity changes: a still picture, then a zooming fractal under strong temporal
# grain, then the still again (each a third of SECONDS_OF_CLIP, default 30).
#
# Table 1 (quality at equal size): Quillset constant rate, Quillset two-pass VBR, Quillset
# multipass constant-quality VBR, and ffmpeg's two-pass mpeg2video, all at AVG bit/s (default
# 3000000; the VBR maximum MAX, default 8000000), MPEG-2 progressive with the GOP of the DVD
# templates. Per encoder: the stream's bit rate, the PSNR and SSIM of the decoded pictures
# against the source (ffmpeg's psnr and ssim filters) over the whole clip and over its busy third.
# Table 2 (threads): Quillset's encoding speed (pictures per second of wall time, constant rate)
# single-threaded and with two analysis workers and the encoding thread, and their ratio.
# Table 3 (motion cache): two-pass VBR with and without the motion cache, single-threaded and
# threaded: the time of the analysis and the final pass, and whether the streams are the same.
#
# The speed-up needs two otherwise idle processors to mean anything.
#
# Quillset runs through bench/video_encode_driver.cpp. Needs: cmake, ninja, g++, bc, ffmpeg.
# Work files go to $BUILD/multipass (BUILD default build/vpass-rel).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build/vpass-rel}
work=$build/multipass
seconds=${SECONDS_OF_CLIP:-30}
avg=${AVG:-3000000}
max=${MAX:-8000000}

for tool in cmake ninja g++ bc ffmpeg; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLSET_TESTS=OFF -DQUILLSET_BENCH=OFF >/dev/null
cmake --build "$build" --target qs_encoder qs_stream qs_source qs_mosrik3 qs_mosrik4 -j2 >/dev/null
mkdir -p "$build/bin" "$work"
g++ -O2 -std=c++20 -I"$root" -o "$build/bin/video_encode_driver" bench/video_encode_driver.cpp \
  "$build/source/libqs_source.a" "$build/encoder/libqs_encoder.a" "$build/stream/libqs_stream.a" -lpthread -ldl
driver=$build/bin/video_encode_driver

# ---- the clip --------------------------------------------------------------------------------
frames=$(( seconds * 30000 / 1001 ))
third=$(( frames / 3 ))
clip=$work/clip.y4m
if [ ! -f "$clip" ] || [ "$(cat "$work/clip.frames" 2>/dev/null)" != "$frames" ]; then
  ffmpeg -nostdin -v error -y -f lavfi -i "mandelbrot=size=720x480:rate=30000/1001:start_scale=1.5" \
    -filter_complex "[0]split=3[a][b][c];\
[a]trim=end_frame=1,loop=loop=$((third - 1)):size=1,setpts=N/FRAME_RATE/TB[s1];\
[b]trim=end_frame=$third,noise=alls=28:allf=t,setpts=N/FRAME_RATE/TB[m];\
[c]trim=start_frame=$((third - 1)):end_frame=$third,loop=loop=$((frames - 2 * third - 1)):size=1,setpts=N/FRAME_RATE/TB[s2];\
[s1][m][s2]concat=n=3:v=1:a=0,format=yuv420p" -f yuv4mpegpipe "$clip"
  echo "$frames" > "$work/clip.frames"
fi

measure() { # stream -> "rate psnr ssim psnr_busy ssim_busy"
  local stream=$1 bits rate psnr ssim bpsnr bssim
  bits=$(( $(stat -c %s "$stream") * 8 ))
  rate=$(echo "scale=0; $bits * 30 / 1001 / $frames" | bc)
  # Both inputs start at time 0: the decoded stream's first time stamp is later (B pictures),
  # and the filters pair pictures by time.
  local whole="setpts=PTS-STARTPTS"
  psnr=$(ffmpeg -nostdin -i "$stream" -i "$clip" -lavfi "[0]$whole[x];[1]$whole[y];[x][y]psnr" -f null - 2>&1 | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1)
  ssim=$(ffmpeg -nostdin -i "$stream" -i "$clip" -lavfi "[0]$whole[x];[1]$whole[y];[x][y]ssim" -f null - 2>&1 | sed -n 's/.*All:\([0-9.]*\).*/\1/p' | tail -1)
  local cut="trim=start_frame=$third:end_frame=$((2 * third)),setpts=PTS-STARTPTS"
  bpsnr=$(ffmpeg -nostdin -i "$stream" -i "$clip" -lavfi "[0]$cut[x];[1]$cut[y];[x][y]psnr" -f null - 2>&1 | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1)
  bssim=$(ffmpeg -nostdin -i "$stream" -i "$clip" -lavfi "[0]$cut[x];[1]$cut[y];[x][y]ssim" -f null - 2>&1 | sed -n 's/.*All:\([0-9.]*\).*/\1/p' | tail -1)
  echo "$rate $psnr $ssim $bpsnr $bssim"
}

row() { printf "%-28s %10s %8s %8s %10s %10s\n" "$@"; }
echo
row "encoder" "kbit/s" "PSNR" "SSIM" "PSNR busy" "SSIM busy"
"$driver" "$clip" "$work/cbr.m2v" --rate "$avg" 2>/dev/null >/dev/null
row "Quillset CBR" $(measure "$work/cbr.m2v")
"$driver" "$clip" "$work/vbr2pass.m2v" --rate "$avg" --vbr2pass "$max" --log "$work/vbr2pass.log" 2>/dev/null >/dev/null
row "Quillset VBR two-pass" $(measure "$work/vbr2pass.m2v")
"$driver" "$clip" "$work/vbrcq.m2v" --rate "$avg" --vbrcq "$max" --log "$work/vbrcq.log" 2>/dev/null >/dev/null
row "Quillset VBR multipass CQ" $(measure "$work/vbrcq.m2v")
for p in 1 2; do
  (cd "$work" && ffmpeg -nostdin -v error -y -i clip.y4m -c:v mpeg2video -b:v "$avg" -maxrate "$max" \
     -bufsize 1835008 -g 18 -bf 2 -pass $p -passlogfile ff2pass -f mpeg2video "$([ $p = 1 ] && echo /dev/null || echo ffmpeg2pass.m2v)")
done
row "ffmpeg mpeg2video two-pass" $(measure "$work/ffmpeg2pass.m2v")

echo
single=$("$driver" "$clip" "$work/t1.m2v" --rate "$avg" 2>/dev/null | sed -n 's/.*: \([0-9.]*\) fps.*/\1/p')
threaded=$("$driver" "$clip" "$work/t2.m2v" --rate "$avg" --threads 2>/dev/null | sed -n 's/.*: \([0-9.]*\) fps.*/\1/p')
cmp -s "$work/t1.m2v" "$work/t2.m2v" && same=identical || same=DIFFERENT
printf "%-28s %8s fps\n" "single-threaded" "$single" "threads (2 + 1)" "$threaded"
printf "%-28s %8s x  (streams %s; %d processors)\n" "speed-up" "$(echo "scale=2; $threaded / $single" | bc)" "$same" "$(nproc)"

echo
printf "%-34s %10s %10s %10s %8s\n" "two-pass VBR" "analysis s" "final s" "total s" "cached"
for threads in "" --threads; do
  for cache in 0 1; do
    label="$([ -z "$threads" ] && echo single-threaded || echo threaded), $([ $cache = 1 ] && echo cache || echo no cache)"
    extra=(); [ $cache = 1 ] && extra=(--motion-cache 4294967296)
    line=$("$driver" "$clip" "$work/mc$cache$threads.m2v" --rate "$avg" --vbr2pass "$max" $threads "${extra[@]}" 2>/dev/null | tail -1)
    analysis=$(echo "$line" | sed -n 's/.*analysis \([0-9.]*\) s.*/\1/p')
    final=$(echo "$line" | sed -n 's/.*final \([0-9.]*\) s.*/\1/p')
    cached=$(echo "$line" | sed -n 's/.*cache: \([0-9]*\) pictures.*/\1/p')
    printf "%-34s %10s %10s %10s %8s\n" "$label" "$analysis" "$final" "$(echo "$analysis + $final" | bc)" "$cached"
  done
  cmp -s "$work/mc0$threads.m2v" "$work/mc1$threads.m2v" && same=identical || same=DIFFERENT
  echo "  streams with and without the cache: $same"
done
