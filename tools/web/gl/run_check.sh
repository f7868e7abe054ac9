#!/bin/sh
# The web GL layer's picture check: builds the check scenes natively (Mesa under
# Xvfb) and with emcc (the layer, in headless chromium on SwiftShader), compares
# the pixels. Needs g++, SDL2, GLEW, GLU, emcc, xvfb-run, chromium and, once,
# `npm install` in this folder. usage: tools/web/gl/run_check.sh [OUTDIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${1:-$root/build/web-gl-check}
mkdir -p "$out"
port=${ZUR_CHECK_PORT:-8731}
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

layer=$(echo "$root"/gl/web/*.cpp) # the layer's files and its pure cores
scenes="$here/gl_scenes.cpp $root/tools/assetgen/shaders.cpp $root/render/draw_helpers.cpp $root/render/vertex_run.cpp"

g++ -std=c++20 -O2 -Wall -Wextra -I"$root" -DZUR_GL_API_HEADER='"gl/gl_api_glew.h"' \
    $(pkg-config --cflags sdl2) -o "$out/gl_scenes" $scenes "$here/gl_scenes_main_sdl.cpp" \
    "$root/gl/gl_api_glew.cpp" $(pkg-config --libs sdl2 glew glu) -lGL
em++ -std=c++20 -O2 -Wall -Wextra -I"$root" -DZUR_GL_API_HEADER='"gl/web/gl_api_web.h"' \
    -sMAX_WEBGL_VERSION=2 -sMIN_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 \
    -o "$out/gl_scenes.js" $scenes "$here/gl_scenes_main_web.cpp" $layer
cp "$here/gl_scenes.html" "$out/"

xvfb-run -a "$out/gl_scenes" "$out/native.rgba"
grep -o '{"[^"]*", [a-zA-Z0-9]*}' "$here/gl_scenes.cpp" | sed 's/{"\([^"]*\)".*/\1/' > "$out/names.txt"

python3 -m http.server --bind 127.0.0.1 "$port" --directory "$out" >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1
node "$here/check.mjs" "http://127.0.0.1:$port/gl_scenes.html" "$out/native.rgba" "$out/names.txt" "$out"
