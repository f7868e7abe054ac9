#!/bin/sh
# The web GL layer's benchmark in headless chromium (SwiftShader): the frame
# through the layer against the raw-WebGL peer, printed as a ratio; then the same
# frame on Mesa (under Xvfb) for the Linux side. Needs emcc, chromium, g++, SDL2,
# GLEW and `npm install` in this folder. usage: tools/web/gl/run_bench.sh [OUTDIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${1:-$root/build/web-gl-bench}
mkdir -p "$out"
port=${ZUR_BENCH_PORT:-8732}
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
em++ -std=c++20 -O2 -Wall -Wextra -I"$root" -DZUR_GL_API_HEADER='"gl/web/gl_api_web.h"' \
    -sMAX_WEBGL_VERSION=2 -sMIN_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 -o "$out/gl_bench.js" \
    "$here/gl_bench.cpp" "$here/gl_bench_main_web.cpp" "$here/gl_bench_peer_web.cpp" \
    "$root"/gl/web/*.cpp
cp "$here/gl_bench.html" "$out/"
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$out" >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1
node "$here/bench.mjs" "http://127.0.0.1:$port/gl_bench.html"
g++ -std=c++20 -O2 -Wall -Wextra -I"$root" -DZUR_GL_API_HEADER='"gl/gl_api_glew.h"' \
    $(pkg-config --cflags sdl2) -o "$out/gl_bench_native" "$here/gl_bench.cpp" "$here/gl_bench_main_sdl.cpp" \
    "$root/gl/gl_api_glew.cpp" $(pkg-config --libs sdl2 glew glu) -lGL
xvfb-run -a "$out/gl_bench_native"
