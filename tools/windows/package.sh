#!/usr/bin/env bash
# Makes the Windows release: OUTDIR/zoduv-windows-x64.zip, with zoduv.exe at the
# top, the asset tree beside it (written by the Linux asset generator) and a short
# README.txt. Unpacked anywhere, the show runs by double-click: the program is
# linked statically and needs no DLL beyond those of Windows itself.
#   tools/windows/package.sh OUTDIR
# It installs what it needs, builds the asset generator in build/ and the
# Windows show in build-win/ (Release), reusing what is already built there.
set -euo pipefail
out="$(realpath -m "${1:?usage: tools/windows/package.sh OUTDIR}")"
cd "$(dirname "$0")/../.."
tools/setup/install-deps.sh --build --windows-web
[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null # configured once: the lanes of ./test.sh share it
cmake --build build -j"$(nproc)" --target assets
tools/windows/build.sh build-win build/show

stage="$out/zoduv-windows-x64"
rm -rf "$stage" "$out/zoduv-windows-x64.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/zoduv.exe" build-win/zoduv.exe
mapfile -t tree < <(grep -v -E '^\s*(#|$)' tools/asset_tree.txt)
for item in "${tree[@]}"; do
  cp -r "build/show/$item" "$stage/"
done
# Notepad wants CR LF.
sed 's/$/\r/' tools/windows/README.txt > "$stage/README.txt"
# Everything at the top of the archive: Windows' "Extract All" makes the folder.
(cd "$stage" && cmake -E tar cf "$out/zoduv-windows-x64.zip" --format=zip -- *)
rm -rf "$stage"
echo "$out/zoduv-windows-x64.zip"
