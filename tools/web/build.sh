#!/usr/bin/env bash
# Builds the show for the browser (Emscripten, Release) into BUILDDIR and lays out
# the page in BUILDDIR/site: index.html, zoduv.js, zoduv.wasm, the asset tree from
# SHOWDIR (a native build's show folder) and files.txt, the list the page fetches;
# then the same page packed into one file, BUILDDIR/zoduv.html, that plays opened
# straight from a file manager.
#   tools/web/build.sh BUILDDIR SHOWDIR
set -euo pipefail
build="$(realpath -m "${1:?usage: tools/web/build.sh BUILDDIR SHOWDIR}")"
show="$(realpath "${2:?usage: tools/web/build.sh BUILDDIR SHOWDIR}")"
cd "$(dirname "$0")/../.."
# Debian's emcc needs Debian's JavaScript modules (acorn) on node's path.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
# A library's files are compiled a batch at a time (a unity build): half the
# processor time, the same page.
emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$build" -j2 --target zoduv

site="$build/site"
rm -rf "$site"
mkdir -p "$site"
cp tools/web/index.html "$build/zoduv.js" "$build/zoduv.wasm" "$site/"
mapfile -t tree < <(grep -v -E '^\s*(#|$)' tools/asset_tree.txt)
for item in "${tree[@]}"; do
  cp -r "$show/$item" "$site/"
done
# "SIZE PATH" per asset: the page fetches them into the program's file system and
# sizes its progress bar by them.
(cd "$site" && find "${tree[@]}" -type f -printf '%s %p\n' | LC_ALL=C sort -k2 > files.txt)
python3 tools/web/single_file.py "$site" "$build/zoduv.html"
