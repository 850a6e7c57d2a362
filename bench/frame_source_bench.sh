#!/usr/bin/env bash
# Compares the frame source with the ffmpeg command line on 1080p H.264
# clips of 60 s and 10 min (30 fps, a key frame every 250 frames): the time
# to obtain the candidate frames of one run (up to 30 exact-time frames in
# ascending order) against 30 separate `ffmpeg -ss T -i clip -frames:v 1`
# runs at the same times. Clips are made once into bench/out/.
#
#   bench/frame_source_bench.sh [BUILD_DIR]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"
out="$here/out"
mkdir -p "$out"

cmake --build "$build" --target frame_source_bench -j2 >/dev/null
bench="$build/frame_source_bench"

make_clip() {  # name seconds
  local path="$out/$1"
  if [[ ! -f "$path" ]]; then
    echo "making $1 ($2 s of 1080p) ..." >&2
    ffmpeg -nostdin -hide_banner -loglevel error -y \
      -f lavfi -i "testsrc2=s=1920x1080:r=30:d=$2,noise=c0s=6:allf=t" \
      -c:v libx264 -preset veryfast -crf 23 -g 250 -pix_fmt yuv420p "$path.partial.mp4"
    mv "$path.partial.mp4" "$path"
  fi
  echo "$path"
}

now() { date +%s.%N; }

for entry in "clip-60s.mp4 60" "clip-10min.mp4 600"; do
  set -- $entry
  clip="$(make_clip "$1" "$2")"
  mapfile -t times < <("$bench" --times "$clip")

  ours="$("$bench" "$clip")"

  start="$(now)"
  for t in "${times[@]}"; do
    ffmpeg -nostdin -hide_banner -loglevel error -ss "$t" -i "$clip" -frames:v 1 -f null -
  done
  cli="$(echo "$(now) - $start" | bc)"

  echo "$1: ${#times[@]} times"
  echo "  $ours"
  printf '  ffmpeg cli: %d runs, total %.3f s\n' "${#times[@]}" "$cli"
done
