#!/usr/bin/env bash
# Makes the browser release: OUTDIR/zoduv-web/ (index.html, zoduv.js, zoduv.wasm,
# the asset tree and its list files.txt), OUTDIR/zoduv.html (the same page in one
# file, which plays opened straight from a file manager) and OUTDIR/zoduv-web.zip
# holding both. Any static file server can host the folder; no header or isolation
# is needed:
#   cd OUTDIR/zoduv-web && python3 -m http.server --bind 127.0.0.1 8000
#   tools/web/package.sh OUTDIR
# It installs what it needs, builds the asset generator in build/ and the page in
# build-web/, reusing what is already built there.
set -euo pipefail
out="$(realpath -m "${1:?usage: tools/web/package.sh OUTDIR}")"
cd "$(dirname "$0")/../.."
tools/setup/install-deps.sh --build --windows-web
[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null # configured once: the lanes of ./test.sh share it
cmake --build build -j"$(nproc)" --target assets
tools/web/build.sh build-web build/show

rm -rf "$out/zoduv-web" "$out/zoduv-web.zip" "$out/zoduv.html"
mkdir -p "$out"
cp -r build-web/site "$out/zoduv-web"
cp build-web/zoduv.html "$out/zoduv.html"
(cd "$out" && cmake -E tar cf zoduv-web.zip --format=zip -- zoduv.html zoduv-web)
echo "$out/zoduv-web.zip"
