#!/usr/bin/env bash
# Renders a contact sheet in headless Chromium and checks what a person would
# see: every clip section is there, every thumbnail decoded, the placeholder
# for a missing frame shows, and hostile labels, texts and clip names stay text.
#
# Usage: tests/sheet/render-in-chromium.sh BUILD_DIR
#   stillpick comes from $STILLPICK (default BUILD_DIR/stillpick), the sheet
#   tool from $STILLPICK_SHEET (default BUILD_DIR/stillpick-sheet). A
#   screenshot of the page is left in BUILD_DIR/render-in-chromium.png.
set -uo pipefail
build=${1:?usage: $0 BUILD_DIR}
build=$(cd "$build" && pwd)
stillpick=${STILLPICK:-$build/stillpick}
sheet=${STILLPICK_SHEET:-$build/stillpick-sheet}
screenshot=$build/render-in-chromium.png

need() {  # need COMMAND PACKAGE
  command -v "$1" >/dev/null && return
  local sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$2" >/dev/null
}
need chromium chromium
need ffmpeg ffmpeg
need jq jq

passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
contains() { LC_ALL=C grep -qF -- "$2" "$1"; }
lacks() { ! LC_ALL=C grep -qF -- "$2" "$1"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM HUP
cd "$work" || exit 1

# Two real documents from small generated clips, one landscape, one vertical.
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=3 -pix_fmt yuv420p clip-a.mp4
ffmpeg -v error -f lavfi -i mandelbrot=size=180x320:rate=25 -t 3 -pix_fmt yuv420p clip-b.mp4
"$stillpick" frames --video clip-a.mp4 --count 3 --out out/1 > results.jsonl
"$stillpick" frames --video clip-b.mp4 --count 2 --out out/2 >> results.jsonl

# A crafted document: hostile label and text, a frame whose file name has
# both quotes in it, a frame file that is gone and one that is no picture.
first=$(jq -r '.frames[0].path' < <(head -1 results.jsonl))
quoted="$work/it's a \"frame\".jpg"
cp "$first" "$quoted"
echo 'plain text' > notes.jpg
jq -cn --arg p "$quoted" '{ok: true, motion: "almost still",
  facts: {duration_s: 3.0, fps: 25.0, width: 320, height: 240, vertical: false},
  frames: [
    {t: 0.5, path: $p, people: 1, labels: [{label: "<script>alert(1)</script>", confidence: 0.5}],
     text: ["\"'"'"'&<> <img src=x onerror=\"document.body.dataset.pwned=1\">"]},
    {t: 1.5, path: "/nonexistent/frame-01.jpg", people: 0, labels: [], text: []},
    {t: 2.5, path: "'"$work"'/notes.jpg", people: 0, labels: [], text: []}],
  vision: {labels: [{label: "<script>alert(1)</script>", confidence: 0.5}], people: 1,
    text: ["\"'"'"'&<> <img src=x onerror=\"document.body.dataset.pwned=1\">"]}}' >> results.jsonl
# A real failure and a line that is no JSON at all.
"$stillpick" frames --video "$work/no such clip.mp4" --out out/4 >> results.jsonl
echo '{"ok":true, <b>cut off' >> results.jsonl
# Bytes that are not UTF-8, in a line and in its clip's name.
printf '{"ok":false,"error":"bad \xFF"}\n' >> results.jsonl
printf '%s\n' clip-a.mp4 clip-b.mp4 '<i>crafted</i>.mp4' 'no such clip.mp4' 'broken line' $'clip\xFE.mp4' > clips.txt

check "stillpick-sheet exits 0" "$sheet" results.jsonl clips.txt > sheet.html
check "the page has no script" lacks sheet.html '<script'
check "the page loads nothing from outside" bash -c '! grep -oE "(src|href)=\"[^\"]*" sheet.html | grep -qv "=\"data:"'

# The test copy carries one script that reports, through the title, what the
# browser made of the page after it loaded.
probe='<script>addEventListener("load", function () {
  var images = [].slice.call(document.images);
  var loaded = images.filter(function (i) { return i.complete && i.naturalWidth > 0; }).length;
  var hostile = [].slice.call(document.querySelectorAll("li")).some(function (li) {
    return li.textContent.indexOf("\u003cscript>alert(1)\u003c/script>") === 0; });
  var missing = [].slice.call(document.querySelectorAll(".missing")).filter(function (m) {
    return m.offsetWidth > 0 && m.offsetHeight > 0; }).length;
  document.title = "images " + loaded + "/" + images.length + " scripts " + document.scripts.length +
    " italics " + document.getElementsByTagName("i").length + " hostile-as-text " + hostile +
    " missing-shown " + missing;
});</script>'
page=$(<sheet.html)
printf '%s%s</body></html>\n' "${page%</body></html>}" "$probe" > sheet-test.html

# An injected alert() would hold the page open for ever: each run is bounded.
browse() {
  timeout -k 5 30 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d "$work/profile.XXXX")" --virtual-time-budget=5000 "$@" 2>>chromium.log
}
browse --dump-dom "file://$work/sheet-test.html" > dom.html
check "Chromium rendered the page" test -s dom.html

images=$(grep -o '<img ' sheet.html | wc -l)
for n in 1 2 3 4 5 6; do check "section clip-$n" contains dom.html "id=\"clip-$n\""; done
check "two clips analysed by stillpick plus the crafted one" test "$(grep -o 'class="clip analysed"' dom.html | wc -l)" -eq 3
check "the failed clip with its error" contains dom.html 'cannot open '"$work"'/no such clip.mp4: No such file or directory'
check "the unreadable line" contains dom.html 'not valid JSON'
check "every thumbnail loaded ($images)" contains dom.html "<title>images $images/$images "
check "there are thumbnails" test "$images" -ge 4
check "only the test's own script runs" contains dom.html " scripts 1 "
check "the clip name made no element" contains dom.html " italics 0 "
check "the hostile label is text" contains dom.html " hostile-as-text true "
check "the hostile label is escaped in the DOM" contains dom.html '&lt;script&gt;alert(1)&lt;/script&gt;'
check "the hostile text ran nothing" lacks dom.html 'data-pwned'
check "the missing and the unreadable frame show their placeholders" contains dom.html " missing-shown 2<"
check "the unreadable frame says so" contains dom.html ">unreadable<small>$work/notes.jpg"
check "bytes that are not UTF-8 are replaced" contains dom.html $'bad \xEF\xBF\xBD'
check "and in the clip name" contains dom.html $'clip\xEF\xBF\xBD.mp4'
check "no stray byte reaches the page" lacks sheet.html $'\xFF'
check "nor of the name" lacks sheet.html $'\xFE'
check "the quoted file name is a thumbnail" contains dom.html "title=\"$work/it's a &quot;frame&quot;.jpg\""

browse --screenshot="$screenshot" --window-size=1280,1800 "file://$work/sheet.html" >/dev/null
check "screenshot taken" test -s "$screenshot"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
