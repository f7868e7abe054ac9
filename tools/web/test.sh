#!/usr/bin/env bash
# Builds the show for the browser once and runs its end-to-end tests in headless
# Chromium (tools/web/test.mjs): the dialog, Run and Escape; screenshots against
# the Linux build's, also after a late start; a missing texture; the sound handed
# to Web Audio; the page opened as a file, served and as the single file zoduv.html.
#   tools/web/test.sh NATIVEBUILD
# NATIVEBUILD: a built Linux tree (zoduv, mp3pcm and the asset tree in show/).
set -euo pipefail
native="$(realpath "${1:?usage: tools/web/test.sh NATIVEBUILD}")"
cd "$(dirname "$0")/../.."
root="$PWD"
tools/setup/install-deps.sh --windows-web # Emscripten, Chromium, node and npm
tools/web/build.sh build-web "$native/show"

(cd tools/web && npm ci --no-audit --no-fund --loglevel=error >/dev/null)

ref="$root/build-web/reference"
rm -rf "$ref"
mkdir -p "$ref"
shots=()
for t in 2 11 33; do shots+=(--screenshot "$t:$ref/shot-$t.png"); done
(cd "$native/show" && xvfb-run -a -s "-screen 0 1280x720x24" ../zoduv --no-dialog --no-sound --size 320x180 \
  --fixed-step 30 --show-end 34 "${shots[@]}" >/dev/null)
# The later moments from late starts, as the page takes them (the Linux build's
# own tests hold a late start to the picture of a played run).
for late in 118:120 229:230; do
  start="${late%:*}" t="${late#*:}"
  (cd "$native/show" && xvfb-run -a -s "-screen 0 1280x720x24" ../zoduv --no-dialog --no-sound --size 320x180 \
    --fixed-step 30 --start "$start" --show-end $((t + 1)) --screenshot "$t:$ref/shot-$t.png" >/dev/null)
done
"$native/mp3pcm" "$native/show/music/lanternsong.mp3" "$ref/lanternsong.raw" >/dev/null
"$native/mp3pcm" "$native/show/music/pencil_bassy.mp3" "$ref/pencil_bassy.raw" >/dev/null

node tools/web/test.mjs build-web/site "$ref" "$native/zoduv" build-web/zoduv.html
