#!/usr/bin/env bash
# Throughput over many clips with GNU parallel: runs stillpick frames over the
# benchmark clips (each several times) with -j 1, 2 and 3 and prints clips per
# minute. Usage: bench/batch.sh [COPIES]   (default 4 copies of each clip)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/bench/out"
copies=${1:-4}
command -v parallel >/dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends parallel >/dev/null
}
clips=()
for c in hd60-k250 hd60-k30 hd720-60-k250 noisy720-60; do
  [ -f "$out/$c.mp4" ] || { echo "run bench/run.sh first to make $c.mp4" >&2; exit 2; }
  for ((i = 0; i < copies; i++)); do clips+=("$out/$c.mp4"); done
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
echo "clips: ${#clips[@]} (1080p and 720p, 60 s each)"
for jobs in 1 2 3; do
  start=$(date +%s.%N)
  printf '%s\n' "${clips[@]}" | parallel -k -j "$jobs" \
    "$root/build/stillpick" frames --video {} --out "$scratch/{#}" > "$scratch/results.jsonl"
  end=$(date +%s.%N)
  ok=$(grep -c '"ok":true' "$scratch/results.jsonl" || true)
  awk -v j="$jobs" -v n="${#clips[@]}" -v ok="$ok" -v s="$start" -v e="$end" 'BEGIN {
    printf "-j %d: %d clips (%d ok) in %.1f s: %.1f clips per minute\n", j, n, ok, e - s, n * 60 / (e - s) }'
done
