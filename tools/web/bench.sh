#!/usr/bin/env bash
# The page's frame time against the Linux build's, both drawing on software
# renderers on this machine (Chromium's SwiftShader, Mesa's llvmpipe under a
# virtual display): the same run (no dialog, no sound, fixed steps of 1/30 s) to
# a short and to a long show end, each timed whole; the difference of the two is
# the time of the frames between them, start-up and loading cancel out. Prints
# both frame times and their ratio.
#   tools/web/bench.sh NATIVEBUILD [SIZE] [SECONDS]      (defaults 640x360, 30)
# The page must be built (tools/web/build.sh build-web NATIVEBUILD/show).
set -euo pipefail
native="$(realpath "${1:?usage: tools/web/bench.sh NATIVEBUILD [SIZE] [SECONDS]}")"
size="${2:-640x360}"
seconds="${3:-30}"
cd "$(dirname "$0")/../.."
[ -d tools/web/node_modules ] || (cd tools/web && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
short=2
long=$((short + seconds))
options="--no-dialog --no-sound --size $size --fixed-step 30"
query="?no-dialog&no-sound&size=$size&fixed-step=30"

linux_run() { # show end -> seconds
  local start end
  start=$(date +%s.%N)
  (cd "$native/show" && xvfb-run -a -s "-screen 0 1920x1080x24" ../zoduv $options --show-end "$1" >/dev/null 2>&1)
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
web_run() { # show end -> seconds
  node tools/web/page.mjs build-web/site "$query&show-end=$1" 2>&1 >/dev/null | sed -n 's/^page: \([0-9.]*\) s .*/\1/p'
}

frames=$((seconds * 30))
per_frame() { awk -v l="$1" -v s="$2" -v n="$frames" 'BEGIN { print (l - s) * 1000 / n }'; }
linux=$(per_frame "$(linux_run $long)" "$(linux_run $short)")
web=$(per_frame "$(web_run $long)" "$(web_run $short)")
printf 'Linux (Mesa llvmpipe, Xvfb):      %.1f ms a frame\n' "$linux"
printf 'browser (Chromium, SwiftShader):  %.1f ms a frame\n' "$web"
printf 'frame time, browser / Linux: %.2f (%s, %d frames on fixed steps of 1/30 s from show time %d s)\n' \
  "$(awk -v w="$web" -v l="$linux" 'BEGIN { print w / l }')" "$size" "$frames" "$short"
