#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds the show and its assets,
# and runs it from the asset folder. Arguments go to the show (see --help); the
# files named by --capture, --screenshot and --benchmark, and the show.mp4 that a
# run without a display records, go to the folder this script was called from, not
# to the asset folder the show runs in.
set -euo pipefail
caller="$PWD"
cd "$(dirname "$0")"
tools/setup/install-deps.sh
# The same build folder and build type as ./test.sh, so neither undoes the other;
# only the show and its asset tree are built here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zoduv assets

absolute() { if [[ "$1" = /* ]]; then printf '%s' "$1"; else printf '%s/%s' "$caller" "$1"; fi; }
args=()
next=""
for word in "$@"; do
  case "$next" in
    capture) word="$(absolute "$word")" ;;
    screenshot) [[ "$word" == *:* ]] && word="${word%%:*}:$(absolute "${word#*:}")" ;;
    benchmark) [[ "$word" != -* ]] && word="$(absolute "$word")" ;;
  esac
  next=""
  case "$word" in
    --capture) next=capture ;;
    --screenshot) next=screenshot ;;
    --benchmark) next=benchmark ;;
    --benchmark=*) word="--benchmark=$(absolute "${word#--benchmark=}")" ;;
    --capture=*) word="--capture=$(absolute "${word#--capture=}")" ;;
    --screenshot=*:*) value="${word#--screenshot=}"; word="--screenshot=${value%%:*}:$(absolute "${value#*:}")" ;;
  esac
  args+=("$word")
done
cd build/show
export ZUR_CALLER_DIR="$caller"
exec ../zoduv ${args[@]+"${args[@]}"}
