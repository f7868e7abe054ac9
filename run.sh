#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds the show and its assets,
# and runs it from the asset folder. Arguments go to the show (see --help).
set -euo pipefail
cd "$(dirname "$0")"
tools/setup/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
cd build/show
exec ../zoduv "$@"
