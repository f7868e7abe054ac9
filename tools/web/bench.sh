#!/usr/bin/env bash
# The page's frame time against the Linux build's: the same run (no dialog, no
# sound, fixed steps, --benchmark) once natively under a virtual display on Mesa's
# software renderer, once in headless Chromium on SwiftShader, both on this
# machine, one after the other. Prints both summaries and the ratio of the medians.
#   tools/web/bench.sh NATIVEBUILD [SIZE] [SHOWEND]     (defaults 640x360, 40 s)
# The page must be built (tools/web/build.sh build-web NATIVEBUILD/show).
set -euo pipefail
native="$(realpath "${1:?usage: tools/web/bench.sh NATIVEBUILD [SIZE] [SHOWEND]}")"
size="${2:-640x360}"
end="${3:-40}"
cd "$(dirname "$0")/../.."
[ -d tools/web/node_modules ] || (cd tools/web && npm ci --no-audit --no-fund --loglevel=error >/dev/null)

linux=$(cd "$native/show" && xvfb-run -a -s "-screen 0 1920x1080x24" ../zoduv --no-dialog --no-sound --size "$size" \
  --fixed-step 30 --show-end "$end" --benchmark 2>/dev/null | grep '^benchmark: [0-9]* frames, mean')
web=$(node tools/web/page.mjs build-web/site "?no-dialog&no-sound&size=$size&fixed-step=30&show-end=$end&benchmark" \
  2>/dev/null | grep '^benchmark: [0-9]* frames, mean')
median() { sed -E 's/.*median ([0-9.]+) ms.*/\1/' <<<"$1"; }
echo "Linux (Mesa llvmpipe):       $linux"
echo "browser (Chromium, SwiftShader): $web"
awk -v w="$(median "$web")" -v l="$(median "$linux")" \
  'BEGIN { printf "frame time, browser / Linux, median: %.2f (%s, fixed steps of 1/30 s, show time 0-'"$end"' s)\n", w / l, "'"$size"'" }'
