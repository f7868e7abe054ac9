#!/usr/bin/env bash
# Cross-builds the Windows show, its tools and its tests (Release, everything
# linked statically) into BUILD_DIR with Debian's mingw-w64. The asset tree is a
# Linux build's: SHOW_DIR is where the Windows tests find it.
#   tools/windows/build.sh [BUILD_DIR [SHOW_DIR]]    (defaults: build-win build/show)
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build-win}"
show="$(realpath -m "${2:-build/show}")"
# Made whole and seldom rebuilt, so a library's files are compiled a batch at a
# time (a unity build): a quarter less processor time than one file at a time.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_UNITY_BUILD=ON -DZUR_SHOW_DIR="$show" >/dev/null
cmake --build "$build" -j"$(nproc)"
