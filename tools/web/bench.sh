#!/usr/bin/env bash
# The page against the Linux build, both drawing on the same rasterizer: Chromium
# draws WebGL 2 through ANGLE on the system's GL, which under Xvfb is Mesa's
# llvmpipe, as the Linux build's own GL (the renderer string is printed; a
# machine where it is not llvmpipe measures something else). Each figure is the
# difference of two whole runs that end at two show times (no dialog, no sound),
# so start-up, loading and the page's set-up cancel out; page and Linux runs take
# turns, and each row gives the median of RUNS interleaved pairs with every pair's
# ratio beside it:
#   1. frame time with antialiasing at 640 x 360 and 1280 x 720, show time 5 s to
#      5 + SECONDS on fixed steps of 1/30 s;
#   2. the processor side: 64 x 36 without antialiasing over the busiest section,
#      show time 195 s to 225 s started with start=195 (rasterizing costs little
#      there), and what an empty WebGL frame costs in the page's loop;
#   3. the late start: start=235 (the page runs the frames before it unseen, the
#      Linux build masked) to show time 235.05 s, against a run to 0.05 s;
#   4. row 1 at 640 x 360 again with the page on Chromium's SwiftShader, for a
#      machine without Mesa's GL.
# The load average is printed at the start and the end: other work on the
# machine shows in the figures (two cores: Chromium's GPU process rasterizes
# beside the page).
#   tools/web/bench.sh NATIVEBUILD [RUNS] [SECONDS]      (defaults 3, 10)
# The page must be built (tools/web/build.sh build-web NATIVEBUILD/show); another
# laid-out page can be named with ZUR_WEB_SITE=DIR (default build-web/site).
set -euo pipefail
native="$(realpath "${1:?usage: tools/web/bench.sh NATIVEBUILD [RUNS] [SECONDS]}")"
runs="${2:-3}"
seconds="${3:-10}"
cd "$(dirname "$0")/../.."
site="${ZUR_WEB_SITE:-build-web/site}"
if [ ! -f "$site/zoduv.wasm" ]; then
  echo "bench.sh: no page in $site; build it with tools/web/build.sh build-web $native/show" >&2
  exit 2
fi
[ -d tools/web/node_modules ] || (cd tools/web && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
display=(xvfb-run -a -s "-screen 0 1920x1080x24")

# One whole run each, in seconds. The page's time runs from loading to its exit
# status (page.mjs); the Linux build's from the call to its end.
page_run() { # WEBGL QUERY
  local out
  out=$(ZUR_WEBGL="$1" "${display[@]}" node tools/web/page.mjs "$site" "$2" 2>&1 >/dev/null)
  sed -n 's/^page: WebGL renderer //p' <<<"$out" >"$work/renderer-$1"
  sed -n 's/^page: \([0-9.]*\) s .*/\1/p' <<<"$out"
}
linux_run() { # ARGUMENTS
  local start end
  start=$(date +%s.%N)
  (cd "$native/show" && "${display[@]}" ../zoduv $1 >/dev/null 2>&1) || true
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() {
  tr ' ' '\n' | grep -v '^$' | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A row: the page's and the Linux build's time between a long and a short run,
# RUNS times, page and Linux in turn; the difference times SCALE over UNIT (frames).
row() { # TITLE WEBGL LONGQUERY SHORTQUERY LONGARGUMENTS SHORTARGUMENTS UNIT SCALE
  local title=$1 webgl=$2 unit=$7 scale=$8
  local pages="" linuxes="" ratios="" r p l
  for ((r = 0; r < runs; ++r)); do
    p=$(page_run "$webgl" "$3")
    l=$(linux_run "$5")
    p=$(awk -v a="$p" -v b="$(page_run "$webgl" "$4")" -v u="$unit" -v s="$scale" 'BEGIN { print (a - b) * s / u }')
    l=$(awk -v a="$l" -v b="$(linux_run "$6")" -v u="$unit" -v s="$scale" 'BEGIN { print (a - b) * s / u }')
    pages+=" $p" linuxes+=" $l"
    ratios+=" $(awk -v p="$p" -v l="$l" 'BEGIN { printf "%.2f", p / l }')"
  done
  printf '%-50s %8.2f %8.2f %7.2f   (%s)\n' "$title" "$(median <<<"$pages")" "$(median <<<"$linuxes")" \
    "$(median <<<"$ratios")" "${ratios# }"
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
frames=$((seconds * 30))
end=$((5 + seconds))
printf '%-50s %8s %8s %7s   %s\n' "what ($runs interleaved pairs, medians)" page Linux ratio "(each pair's ratio)"
whole() { # TITLE WEBGL SIZE
  local q="?no-dialog&no-sound&size=$3&fixed-step=30" a="--no-dialog --no-sound --size $3 --fixed-step 30"
  row "$1" "$2" "$q&show-end=$end" "$q&show-end=5" "$a --show-end $end" "$a --show-end 5" $frames 1000
}
for size in 640x360 1280x720; do
  whole "1. ms a frame, $size antialiased, $frames frames" gl $size
done
q="?no-dialog&no-sound&size=64x36&no-aa&fixed-step=30&start=195"
a="--no-dialog --no-sound --size 64x36 --no-aa --fixed-step 30 --start 195"
row "2. ms a frame, 64x36 plain, 195-225 s (870 frames)" gl "$q&show-end=225" "$q&show-end=196" \
    "$a --show-end 225" "$a --show-end 196" 870 1000
empty=$(cd tools/web && ZUR_WEBGL=gl "${display[@]}" node empty_frame.mjs 64x36)
echo "   an empty WebGL frame (64x36, cleared) in the page's loop: $empty ms"
row "3. s to show time 235.05 with start=235, 1280x720" gl "?no-dialog&no-sound&start=235&show-end=235.05" \
    "?no-dialog&no-sound&show-end=0.05" "--no-dialog --no-sound --start 235 --show-end 235.05" \
    "--no-dialog --no-sound --show-end 0.05" 1 1
whole "4. as 1 at 640x360, the page on SwiftShader" swiftshader 640x360
echo "WebGL renderer: $(cat "$work/renderer-gl") (rows 1-3); $(cat "$work/renderer-swiftshader") (row 4)"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
