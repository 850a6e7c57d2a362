#!/usr/bin/env bash
# The multi-host batch run, tried for real on this one machine: an sshd of our
# own on 127.0.0.1 stands in for two remote hosts ("node-a" and "node-b" in an
# ssh config of our own), and GNU parallel spreads a handful of small clips
# over them in the two forms the README describes:
#   (a) shared storage: every host sees the clips and the output folder;
#   (b) no shared storage: each clip is sent to the host with --transferfile
#       and its frames folder comes back with --return, then --cleanup.
# Checks one line per clip, in order, valid JSON, frames where they belong,
# and prints clips per minute for each form and a final "N passed, M failed".
#
# Usage: bench/multihost.sh   (stillpick from $STILLPICK, default build/stillpick)
# Nothing listens beyond 127.0.0.1; sshd is stopped and every file removed on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stillpick=$(realpath -e "${STILLPICK:-$root/build/stillpick}" 2>/dev/null) || {
  echo "no stillpick binary: build first or set STILLPICK" >&2; exit 2; }

need() {  # need COMMAND PACKAGE
  command -v "$1" >/dev/null && return
  local sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$2" >/dev/null
}
need /usr/sbin/sshd openssh-server
need ssh openssh-client
need parallel parallel
need rsync rsync
need ffmpeg ffmpeg
need jq jq

passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "ok: $1"; else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

tmp=$(mktemp -d /tmp/stillpick-multihost.XXXXXX)
cleanup() {
  if [ -s "$tmp/sshd.pid" ]; then
    local pid; pid=$(cat "$tmp/sshd.pid")
    kill "$pid" 2>/dev/null
    for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# --- the "remote" hosts: our own sshd on loopback ----------------------------
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=""
for p in $(seq 2222 2299); do port_free "$p" && { port=$p; break; }; done
[ -n "$port" ] || { echo "no free port in 2222-2299" >&2; exit 2; }
user=$(id -un)
ssh-keygen -q -t ed25519 -N '' -C stillpick-multihost-host -f "$tmp/host_key"
ssh-keygen -q -t ed25519 -N '' -C stillpick-multihost-user -f "$tmp/user_key"
cp "$tmp/user_key.pub" "$tmp/authorized_keys"
cat > "$tmp/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $tmp/host_key
PidFile $tmp/sshd.pid
AuthorizedKeysFile $tmp/authorized_keys
AllowUsers $user
UsePAM no
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
StrictModes no
MaxStartups 50:30:100
MaxSessions 50
LogLevel ERROR
EOF
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$tmp/host_key.pub")" > "$tmp/known_hosts"
cat > "$tmp/ssh_config" <<EOF
Host node-a node-b
  HostName 127.0.0.1
  Port $port
  User $user
  IdentityFile $tmp/user_key
  IdentitiesOnly yes
  UserKnownHostsFile $tmp/known_hosts
  GlobalKnownHostsFile /dev/null
  StrictHostKeyChecking yes
  BatchMode yes
  LogLevel ERROR
EOF
# One job at a time on each "host": the two together use this machine's 2 cores.
printf '%s\n' "1/ssh -F $tmp/ssh_config node-a" "1/ssh -F $tmp/ssh_config node-b" > "$tmp/nodes.txt"

[ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd  # sshd's privilege separation directory
/usr/sbin/sshd -f "$tmp/sshd_config" -E "$tmp/sshd.log"
for _ in $(seq 50); do ssh -F "$tmp/ssh_config" node-a true 2>/dev/null && break; sleep 0.2; done
check "sshd on 127.0.0.1:$port answers as node-a" ssh -F "$tmp/ssh_config" node-a true
check "and as node-b" ssh -F "$tmp/ssh_config" node-b true
check "sshd listens on loopback only" bash -c "! ss -ltn 2>/dev/null | awk '{print \$4}' | grep -E ':$port\$' | grep -vq '^127\.0\.0\.1:'"

# --- the clips: five short ones of different lengths, one that is no video -----
shared=$tmp/shared
mkdir -p "$shared/clips" "$shared/out"
sources=("testsrc2=size=640x360:rate=25:duration=5" "smptebars=size=640x360:rate=25:duration=2" ""
  "mandelbrot=size=360x640:rate=25" "testsrc=size=480x270:rate=30:duration=1" "rgbtestsrc=size=640x360:rate=25:duration=3")
durations=(5 2 0 4 1 3)
bad=3  # clip-3 is no video: its line must say so, in its place
for i in "${!sources[@]}"; do
  n=$((i + 1))
  if [ "$n" -eq "$bad" ]; then
    yes 'not a video' | head -c 20000 > "$shared/clips/clip-$n.mp4"
  else
    ffmpeg -v error -f lavfi -i "${sources[$i]}" -t "${durations[$i]}" -pix_fmt yuv420p "$shared/clips/clip-$n.mp4"
  fi
done
count=${#sources[@]}

# stillpick is found on the hosts through PATH, sent along with --env PATH.
PATH=$(dirname "$stillpick"):$PATH
export PATH

valid_json() { jq -R -e -n '[inputs | fromjson] | length > 0' "$1" >/dev/null; }

# Checks the results of one form: FORM RESULTS DIRS LOCAL STATUS JOBLOG with
# DIRS the folder the frame paths must lie in (a regular expression), LOCAL
# the folder the frames must be found in here, STATUS parallel's exit status.
check_form() {
  local form=$1 results=$2 dirs=$3 local=$4 status=$5 joblog=$6
  check "$form: parallel counted the one failed clip" test "$status" -eq 1
  check "$form: both hosts ran clips" test "$(awk -F'\t' 'NR > 1 { print $2 }' "$joblog" | sort -u | grep -c 'node-[ab]$')" -eq 2
  check "$form: one line per clip" test "$(wc -l < "$results")" -eq "$count"
  check "$form: every line is valid JSON" valid_json "$results"
  local n=0 order=0 present=0 line
  while IFS= read -r line; do
    n=$((n + 1))
    if [ "$n" -eq "$bad" ]; then
      jq -e --arg clip "clip-$n.mp4" '.ok == false and (.error | contains($clip))' <<<"$line" >/dev/null ||
        { order=1; echo "  line $n: $line"; }
      continue
    fi
    jq -e --arg re "^$dirs/out/$n/stillpick-[0-9A-F]{8}/frame-[0-9]{2}\\.jpg\$" \
      '.ok == true and (.frames | length > 0) and all(.frames[]; .path | test($re))' <<<"$line" >/dev/null ||
      { order=1; echo "  line $n: $line" | cut -c1-300; }
    while IFS= read -r path; do
      [ -s "$local/out/$n/${path#*/out/$n/}" ] || { present=1; echo "  missing locally: $path"; }
    done < <(jq -r '.frames[]?.path' <<<"$line")
  done < "$results"
  check "$form: line N is clip N (ok status and frame folders)" test "$order" -eq 0
  check "$form: every frame file is here" test "$present" -eq 0
}

rate() {  # rate FORM START END
  awk -v f="$1" -v n="$count" -v s="$2" -v e="$3" 'BEGIN {
    printf "%s: %d clips in %.1f s: %.1f clips per minute\n", f, n, e - s, n * 60 / (e - s) }'
}

# --- (a) shared storage -------------------------------------------------------
cd "$shared" || exit 1
ls "$shared"/clips/*.mp4 > clips.txt
start=$(date +%s.%N)
parallel -k --sshloginfile "$tmp/nodes.txt" -j 1 --env PATH --joblog jobs.log \
  stillpick frames --video {} --out "$shared/out/{#}" :::: clips.txt > results.jsonl
status=$?
end=$(date +%s.%N)
check_form "shared" results.jsonl "$shared" "$shared" "$status" jobs.log
rate_shared=$(rate "shared storage" "$start" "$end")

# --- (b) no shared storage ----------------------------------------------------
mkdir -p "$tmp/local"
cp -r "$shared/clips" "$tmp/local/clips"
cd "$tmp/local" || exit 1
ls clips/*.mp4 > clips.txt
before=$(ls ~/.parallel/tmp 2>/dev/null | wc -l)
start=$(date +%s.%N)
parallel -k --sshloginfile "$tmp/nodes.txt" -j 1 --env PATH --joblog jobs.log --workdir ... \
  --transferfile {} --return out/{#} --cleanup \
  stillpick frames --video {} --out out/{#} :::: clips.txt > results.jsonl 2> parallel.err
status=$?
end=$(date +%s.%N)
check_form "no shared storage" results.jsonl ".*" "$tmp/local" "$status" jobs.log
check "no shared storage: frames were written on the host, not here" \
  bash -c "! grep -qF '\"$tmp/local/' results.jsonl"
check "no shared storage: --cleanup left no work folder on the hosts" \
  test "$(ls ~/.parallel/tmp 2>/dev/null | wc -l)" -le "$before"
# The failed clip has no frames folder to bring back, which rsync reports;
# anything else parallel says is shown.
grep -v -e "/out: No such file or directory" -e "link_stat \".*/$bad\" failed" \
  -e "rsync error: some files/attrs were not transferred" parallel.err | sed 's/^/  parallel: /' | head -5
rate_local=$(rate "no shared storage" "$start" "$end")

# The paths in (b)'s documents are the hosts' paths; pointed at the frames
# that came back, the contact sheet shows them all.
jq -c --arg here "$PWD" 'if .frames then .frames[].path |= sub("^.*/out/"; $here + "/out/") else . end' \
  results.jsonl > results-here.jsonl
check "no shared storage: paths pointed here keep one line per clip" test "$(wc -l < results-here.jsonl)" -eq "$count"
sheet=${STILLPICK_SHEET:-$(dirname "$stillpick")/stillpick-sheet}
skipped=0
if [ -x "$sheet" ]; then
  "$sheet" results-here.jsonl clips.txt > sheet.html
  check "no shared storage: the contact sheet shows every frame" \
    test "$(grep -o '<img ' sheet.html | wc -l)" -eq "$(jq '.frames[]?.path' results.jsonl | wc -l)"
  check "no shared storage: and no missing frame" bash -c '! grep -q "class=\"missing\"" sheet.html'
else
  skipped=2; echo "skipped: contact sheet (no $sheet)"
fi

# Both forms analysed the same clips: the same frame times on every line.
times() { jq -c '[.frames[]?.t]' "$1"; }
check "both forms picked the same frames" cmp -s <(times "$shared/results.jsonl") <(times "$tmp/local/results.jsonl")

echo "$rate_shared"
echo "$rate_local"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
