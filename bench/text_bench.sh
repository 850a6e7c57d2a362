#!/bin/sh
# Renders a few 720 × 405 frames with captions and times text reading on them.
# Usage: bench/text_bench.sh [BUILD_DIR] [REPEATS]
set -e
build=${1:-build}
repeats=${2:-3}
cmake --build "$build" --target stillpick_text_bench -j 2 >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
render() {
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$2" -frames:v 1 -f rawvideo -pix_fmt rgb24 "$dir/$1.rgb"
}
render caption "color=c=0x203050:size=720x405,format=rgb24,drawtext=fontfile=$font:text='HARBOUR VIEW':fontsize=48:fontcolor=white:x=(w-tw)/2:y=(h-th)/2"
render subtitle "testsrc2=size=720x405:rate=1,format=rgb24,drawtext=fontfile=$font:text='Subtitles with an outline':fontsize=30:fontcolor=white:borderw=2:bordercolor=black:x=(w-tw)/2:y=350"
render page "color=c=0xf0f0e8:size=720x405,format=rgb24,drawtext=fontfile=$font:text='Departures':fontsize=40:fontcolor=black:x=40:y=30,drawtext=fontfile=$font:text='08\:15 Harbour Road platform 2':fontsize=24:fontcolor=black:x=40:y=110,drawtext=fontfile=$font:text='08\:40 North Station platform 4':fontsize=24:fontcolor=black:x=40:y=160,drawtext=fontfile=$font:text='09\:05 City Centre platform 1':fontsize=24:fontcolor=black:x=40:y=210,drawtext=fontfile=$font:text='09\:30 Airport express platform 3':fontsize=24:fontcolor=black:x=40:y=260"
render notext "mandelbrot=size=720x405:rate=1,format=rgb24"
"$build/stillpick_text_bench" 720 405 "$repeats" "$dir"/caption.rgb "$dir"/subtitle.rgb "$dir"/page.rgb "$dir"/notext.rgb
