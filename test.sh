#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds the show, its assets,
# tools and tests for Linux and, cross-built, for Windows, and runs every test:
# the Linux ones under a virtual X display, the Windows ones under Wine on a
# display of their own; the browser build in headless Chromium; then builds the
# developer configuration and runs the
# tests that exercise its developer aids. Arguments go to every ctest run.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup/install-deps.sh
# The same build folder and build type as ./run.sh, which then has nothing to rebuild.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUR_WINDOWS_BUILD_DIR="$PWD/build-win" >/dev/null
cmake --build build -j"$(nproc)"
tools/windows/package.sh build-win/package
# The Debian package from this build, which the DebianPackage tests unpack and run.
tools/debian/package.sh build/package
# The virtual X server runs with -noreset: by default it resets whenever its last
# client leaves, and a test connecting during that reset is refused or finds the
# server half set up, which fails tests at random.
# No test may wait for a person: message boxes answer by themselves (the Windows
# end-to-end tests bring them back and answer them with keys), sound goes to SDL's
# dummy driver unless a test picks another.
export ZUR_MESSAGEBOX_ANSWER="${ZUR_MESSAGEBOX_ANSWER:-no}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
(cd build && xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --output-on-failure -j2 --timeout 1200 -LE wine "$@")
tools/windows/test.sh build-win build "$@"
# The show in a browser: built once with Emscripten, its pages run in headless Chromium.
tools/web/test.sh build

# Developer configuration: caption, frame-rate log, state recording, asset report.
# It runs from the release build's asset folder.
cmake -S . -B build-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUR_DEVELOPER=ON -DZUR_GENERATE_ASSETS=OFF \
  -DZUR_SHOW_DIR="$PWD/build/show" >/dev/null
cmake --build build-dev -j"$(nproc)" --target zoduv dev_tools_test dialog_xvfb_test frame_driver_test
(cd build-dev && xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --output-on-failure -j2 --timeout 1200 \
  -L "dev_tools_test|dialog_xvfb_test|frame_driver_test")
tools/test/sanitizers.sh "$@" # the tests again under AddressSanitizer, UBSan and ThreadSanitizer
