#!/usr/bin/env bash
# Benchmark: a whole `stillpick frames` run against what a script would do
# instead with the ffmpeg CLI, 30 separate exact-time extractions
# (`ffmpeg -ss T -i clip -frames:v 1`), on generated clips, alternating the
# two in the same run. Prints median wall time, CPU time and peak memory of
# each and their ratio, then a per-stage breakdown of one stillpick run.
#
# Usage: bench/run.sh [ROUNDS] [CLIP-NAME...]      (default 3 rounds, all clips)
# Clips are made once into bench/out/ (several minutes for the 10-minute one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/bench/out"
build="$root/build"
rounds=${1:-3}
shift || true
mkdir -p "$out"

"$root/scripts/setup" "$build" >/dev/null
cmake --build "$build" --target stillpick_stages -j "$(nproc)" >/dev/null

make_clip() {  # name, seconds, size, keyint, source filter[, pixel format]
  local name=$1 seconds=$2 size=$3 keyint=$4 source=$5 format=${6:-yuv420p}
  [ -f "$out/$name.mp4" ] && return
  echo "making $name.mp4 ..." >&2
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$source" -t "$seconds" \
    -c:v libx264 -preset veryfast -b:v 10M -maxrate 12M -bufsize 20M -pix_fmt "$format" \
    -g "$keyint" -keyint_min "$keyint" -sc_threshold 0 "$out/$name.tmp.mp4"
  mv "$out/$name.tmp.mp4" "$out/$name.mp4"
}

# Real street footage (OpenCV's vtest.avi, from Debian's opencv-doc,
# checksummed) looped and scaled, with film-like noise.
street_source() {
  local deb_dir=$out/debs sha=4b12681df35878207ac7097dc66184b2ae552e4bf4ddd2af04a0f03ed0b8682a
  local video=$out/opencv-doc/usr/share/doc/opencv-doc/examples/data/vtest.avi
  if [ ! -f "$video" ]; then
    mkdir -p "$deb_dir"
    (cd "$deb_dir" && apt-get download opencv-doc=4.6.0+dfsg-12 >/dev/null)
    local deb; deb=$(ls "$deb_dir"/opencv-doc_*.deb)
    [ "$(sha256sum "$deb" | cut -d' ' -f1)" = "$sha" ] || { echo "sha256 mismatch for $deb" >&2; exit 1; }
    dpkg-deb -x "$deb" "$out/opencv-doc"
  fi
  [ -f "$video" ] || video=$(find "$out/opencv-doc" -name vtest.avi | head -n 1)
  echo "$video"
}

make_street() {  # name, seconds, size, keyint
  local name=$1 seconds=$2 size=$3 keyint=$4
  [ -f "$out/$name.mp4" ] && return
  echo "making $name.mp4 ..." >&2
  ffmpeg -nostdin -hide_banner -loglevel error -y -stream_loop -1 -i "$(street_source)" -t "$seconds" \
    -vf "scale=$size:flags=bicubic,noise=alls=10:allf=t,format=yuv420p" -r 30 -an \
    -c:v libx264 -preset veryfast -b:v 10M -maxrate 12M -bufsize 20M \
    -g "$keyint" -keyint_min "$keyint" -sc_threshold 0 "$out/$name.tmp.mp4"
  mv "$out/$name.tmp.mp4" "$out/$name.mp4"
}

all_clips=(street60-k250 street600-k250 street60-k30 street2-360 hd60-k250 hd600-k250 hd60-k30 hd720-60-k250
           noisy720-60 uhd10-k250 8k444-5)
clips=("$@")
[ ${#clips[@]} -gt 0 ] || clips=("${all_clips[@]}")
for clip in "${clips[@]}"; do
  case $clip in
    street60-k250) make_street "$clip" 60 1920:1080 250 ;;
    street600-k250) make_street "$clip" 600 1920:1080 250 ;;
    street60-k30) make_street "$clip" 60 1920:1080 30 ;;
    street2-360) make_street "$clip" 2 640:360 250 ;;
    hd60-k250) make_clip "$clip" 60 1920x1080 250 "testsrc2=size=1920x1080:rate=30,noise=alls=8:allf=t" ;;
    hd600-k250) make_clip "$clip" 600 1920x1080 250 "testsrc2=size=1920x1080:rate=30,noise=alls=8:allf=t" ;;
    hd60-k30) make_clip "$clip" 60 1920x1080 30 "testsrc2=size=1920x1080:rate=30,noise=alls=8:allf=t" ;;
    hd720-60-k250) make_clip "$clip" 60 1280x720 250 "testsrc2=size=1280x720:rate=30,noise=alls=8:allf=t" ;;
    noisy720-60) make_clip "$clip" 60 1280x720 250 \
      "mandelbrot=size=1280x720:rate=30,noise=alls=20:allf=t+u,eq=brightness=0.05" ;;
    uhd10-k250) make_clip "$clip" 10 3840x2160 250 "testsrc2=size=3840x2160:rate=30,noise=alls=8:allf=t" ;;
    # The largest picture accepted, with full-resolution colour: the peak
    # memory to watch.
    8k444-5) make_clip "$clip" 5 8192x4320 250 "testsrc2=size=8192x4320:rate=10,noise=alls=8:allf=t" yuv444p ;;
    *) echo "unknown clip $clip (known: ${all_clips[*]})" >&2; exit 2 ;;
  esac
done

# The 30 sample times stillpick uses for a clip of this duration.
sample_times() {
  awk -v d="$1" 'BEGIN {
    n = int(d / 1.2 + 0.5); if (n < 8) n = 8; if (n > 30) n = 30;
    m = 0.02 * d; if (m >= 0.35) m = 0.35;
    s = (d - 2 * m) / (n - 1);
    for (i = 0; i < n; i++) printf "%.6f\n", m + s * i }'
}

ffmpeg_script() {  # clip, scratch dir
  local i=0
  while read -r t; do
    ffmpeg -nostdin -hide_banner -loglevel error -y -ss "$t" -i "$1" -frames:v 1 -q:v 3 "$2/$(printf %02d $i).jpg"
    i=$((i + 1))
  done < "$2/times"
}
export -f ffmpeg_script

# Prints "wall user+sys maxrss_kb" for one run of the command.
measure() {
  local report
  report=$(mktemp)
  /usr/bin/time -o "$report" -f "%e %U %S %M" "$@" >/dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$report"
  rm -f "$report"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "rounds: $rounds (medians shown)"
# The wall-time ratio each street clip should stay within.
goal() {
  case $1 in street60-k250) echo 0.25 ;; street600-k250 | street60-k30) echo 0.45 ;; street2-360) echo 0.30 ;; *) echo - ;; esac
}
printf "\n%-14s | %9s %9s %8s | %9s %9s %8s | %6s %6s %6s\n" clip "sp wall" "sp cpu" "sp MB" "ff wall" "ff cpu" "ff MB" "wall" "goal" "cpu"
printf "%-14s | %9s %9s %8s | %9s %9s %8s | %6s %6s %6s\n" "" "s" "s" "peak" "s" "s" "peak" "ratio" "" "ratio"
for clip in "${clips[@]}"; do
  file="$out/$clip.mp4"
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  scratch=$(mktemp -d)
  sample_times "$duration" > "$scratch/times"
  : > "$scratch/sp"; : > "$scratch/ff"
  for ((r = 0; r < rounds; r++)); do
    measure "$build/stillpick" frames --video "$file" --out "$scratch" >> "$scratch/sp"
    measure bash -c 'ffmpeg_script "$0" "$1"' "$file" "$scratch" >> "$scratch/ff"
  done
  spw=$(cut -d' ' -f1 "$scratch/sp" | median); spc=$(cut -d' ' -f2 "$scratch/sp" | median)
  spm=$(cut -d' ' -f3 "$scratch/sp" | sort -g | tail -n1)
  ffw=$(cut -d' ' -f1 "$scratch/ff" | median); ffc=$(cut -d' ' -f2 "$scratch/ff" | median)
  ffm=$(cut -d' ' -f3 "$scratch/ff" | sort -g | tail -n1)
  awk -v c="$clip" -v a="$spw" -v b="$spc" -v m="$spm" -v d="$ffw" -v e="$ffc" -v f="$ffm" -v g="$(goal "$clip")" 'BEGIN {
    printf "%-14s | %9.2f %9.2f %8.0f | %9.2f %9.2f %8.0f | %6.2f %6s %6.2f\n", c, a, b, m / 1024, d, e, f / 1024, a / d, g, b / e }'
  rm -rf "$scratch"
done

echo
echo "stages of one stillpick run (through the library):"
for clip in "${clips[@]}"; do
  "$build/stillpick_stages" "$out/$clip.mp4"
  echo
done
