#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds the show, its assets,
# tools and tests for Linux and, cross-built, for Windows, and runs every test:
# the Linux ones under a virtual X display, the Windows ones under Wine on a
# display of their own, the browser build in headless Chromium, the developer
# configuration's developer aids, and the tests again under the sanitizers. After
# the Linux build, two lanes of stages run side by side (their logs go to
# build/test-logs/). At the end it prints how long each stage took.
#   ./test.sh [--quick] [ctest options...]
# --quick: the Linux build and its tests only, for a developer's inner loop (CI
# runs the whole suite). Arguments after it go to every ctest run.
set -euo pipefail
cd "$(dirname "$0")"
quick=false
if [ "${1:-}" = "--quick" ]; then
  quick=true
  shift
fi
source tools/test/stage.sh
source tools/test/ninja_folder.sh

# The virtual X server runs with -noreset: by default it resets whenever its last
# client leaves, and a test connecting during that reset is refused or finds the
# server half set up, which fails tests at random.
xvfb=(xvfb-run -a -s "-screen 0 1920x1080x24 -noreset")
# No test may wait for a person: message boxes answer by themselves (the Windows
# end-to-end tests bring them back and answer them with keys), sound goes to SDL's
# dummy driver unless a test picks another.
export ZUR_MESSAGEBOX_ANSWER="${ZUR_MESSAGEBOX_ANSWER:-no}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

linux_build() {
  # The same build folder and build type as ./run.sh, which then has nothing to rebuild.
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUR_WINDOWS_BUILD_DIR="$PWD/build-win" >/dev/null
  cmake --build build -j"$(nproc)"
}

linux_tests() {
  local skip=(-LE wine)
  if $quick; then
    echo "(--quick: no Debian package is made, so its test is left out)"
    skip=(-LE "^(wine|debian_package_test)$")
  fi
  (cd build && "${xvfb[@]}" ctest --output-on-failure -j2 --timeout 1200 "${skip[@]}" "$@")
}

developer_configuration() {
  # Caption, frame-rate log, state recording, asset report; it runs from the
  # release build's asset folder. Only its developer aids are tested here, so its
  # code is optimised as little as the sanitizer build's, and built as theirs is.
  ninja_folder build-dev
  cmake -S . -B build-dev -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON \
    -DZUR_DEVELOPER=ON -DZUR_GENERATE_ASSETS=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DZUR_SHOW_DIR="$PWD/build/show" >/dev/null
  cmake --build build-dev -j"$(nproc)" --target zoduv dev_tools_test dialog_xvfb_test frame_driver_test
  (cd build-dev && "${xvfb[@]}" ctest --output-on-failure -j2 --timeout 1200 \
    -L "dev_tools_test|dialog_xvfb_test|frame_driver_test" "$@")
}

# The lanes after the Linux build: the Linux configurations in one, the Windows and
# browser builds with their checks in the other. Both keep two cores busy between
# them where one alone would leave one idle (a test program that runs alone, Wine's
# and Chromium's waits, links); each has a log of its own in build/test-logs/.
linux_lane() {
  stage "Debian packages of the tests, Windows and browser builds" later_packages
  # The Debian package from the Linux build, which the DebianPackage tests unpack and run.
  stage "Debian package" tools/debian/package.sh build/package
  stage "Linux tests" linux_tests "${ctest_args[@]}"
  stage "Developer configuration" developer_configuration "${ctest_args[@]}"
  stage "Sanitizer builds and tests" tools/test/sanitizers.sh "${ctest_args[@]}"
}
windows_and_browser_lane() {
  wait_for_later_packages || { echo "The later packages were not installed: see build/test-logs/later-packages.log"; return 1; }
  stage "Windows cross-build and zip" tools/windows/package.sh build-win/package
  stage "Windows tests under Wine" tools/windows/test.sh build-win build "${ctest_args[@]}"
  stage "Browser build and checks in Chromium" tools/web/test.sh build
}

# The packages the build does not need (the tests' tools; Wine, MinGW, Emscripten,
# Chromium) are installed while the Linux build compiles, which mostly waits on
# the processor where the installs wait on the network and the disk; the lanes
# wait for them.
later_packages_pid=""
start_later_packages() {
  mkdir -p build/test-logs
  rm -f build/test-logs/later-packages.status
  (
    start=$SECONDS status=0
    tools/setup/install-deps.sh --tests --windows-web || status=$?
    echo "(took $((SECONDS - start)) s)"
    echo "$status" >build/test-logs/later-packages.status
  ) >build/test-logs/later-packages.log 2>&1 &
  later_packages_pid=$!
  # A run that stops early still lets the installs finish: dpkg stopped halfway
  # would have to be repaired by hand before the next run.
  trap 'wait "$later_packages_pid" 2>/dev/null || true; stage_report' EXIT
}
wait_for_later_packages() {
  # A lane is a subshell, not the installs' parent: it waits for the process to end.
  tail --pid="$later_packages_pid" -f /dev/null
  return "$(cat build/test-logs/later-packages.status 2>/dev/null || echo 1)"
}
later_packages() {
  local status=0
  wait_for_later_packages || status=$?
  cat build/test-logs/later-packages.log
  return $status
}

ctest_args=("$@")
if $quick; then
  stage "Debian packages of the Linux build and tests" tools/setup/install-deps.sh --build --tests
  stage "Linux build" linux_build
  stage "Linux tests" linux_tests "$@"
  exit 0
fi
stage "Debian packages of the Linux build" tools/setup/install-deps.sh --build
start_later_packages
stage "Linux build" linux_build
lanes build/test-logs linux_lane windows_and_browser_lane
