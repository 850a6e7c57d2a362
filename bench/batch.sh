#!/usr/bin/env bash
# Throughput over many clips with GNU parallel: runs stillpick frames over
# copies of the street benchmark clips, 60-s ones and 10-s ones, with -j 1 and
# -j 2, and prints clips per minute for each.
# Usage: bench/batch.sh [COPIES]   (default 4 copies of each clip)
#   the binary is $STILLPICK (default build/stillpick)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/bench/out"
copies=${1:-4}
bin=${STILLPICK:-$root/build/stillpick}
command -v parallel >/dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends parallel >/dev/null
}
for c in street60-k250 street60-k30; do
  [ -f "$out/$c.mp4" ] || "$root/bench/run.sh" 1 "$c" >/dev/null
  # The first 10 s of each, cut at its key frames.
  short=$out/${c/60/10}.mp4
  [ -f "$short" ] || ffmpeg -nostdin -hide_banner -loglevel error -y -i "$out/$c.mp4" -t 10 -c copy "$short"
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
echo "machine: $(nproc) cores; $copies copies of each clip"
for length in 60 10; do
  clips=()
  for c in street$length-k250 street$length-k30; do
    for ((i = 0; i < copies; i++)); do clips+=("$out/$c.mp4"); done
  done
  for jobs in 1 2; do
    start=$(date +%s.%N)
    printf '%s\n' "${clips[@]}" | parallel -k -j "$jobs" \
      "$bin" frames --video {} --out "$scratch/{#}" > "$scratch/results.jsonl"
    end=$(date +%s.%N)
    ok=$(grep -c '"ok":true' "$scratch/results.jsonl" || true)
    awk -v l="$length" -v j="$jobs" -v n="${#clips[@]}" -v ok="$ok" -v s="$start" -v e="$end" 'BEGIN {
      printf "%2d-s clips, -j %d: %d clips (%d ok) in %.1f s: %.1f clips per minute\n", l, j, n, ok, e - s,
        n * 60 / (e - s) }'
    rm -rf "${scratch:?}"/[0-9]*
  done
done
