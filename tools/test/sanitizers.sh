#!/usr/bin/env bash
# The tests again under the sanitizers, run by ./test.sh after the plain build:
# the unit and end-to-end tests and the fuzz corpora with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), the sound tests with ThreadSanitizer
# (build-tsan/). Both run the show from the plain build's asset folder
# (build/show), which must exist. Arguments go to ctest.
# Left out under AddressSanitizer: the asset generator's own tests (music and
# visual assets), which synthesise and encode every asset without touching the
# show's code and would take most of the time, and the Debian package's test,
# which unpacks the plain build's package.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
source tools/test/ninja_folder.sh
ninja_folder build-asan
ninja_folder build-tsan
if [ ! -d build/show ]; then
  echo "sanitizers.sh: build/show is missing; build the plain configuration first (./test.sh does)" >&2
  exit 1
fi

# A report fails its test instead of scrolling past; the leak checker skips what
# the system libraries keep until exit (tools/test/lsan.supp).
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$root/tools/test/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
export ZUR_MESSAGEBOX_ANSWER="${ZUR_MESSAGEBOX_ANSWER:-no}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
xvfb=(xvfb-run -a -s "-screen 0 1920x1080x24 -noreset")

# The show's code at -O1 with line tables only, the tests' own code at -O0: a third
# of the compile time of -O2 -g under both sanitizers, and still the optimisation
# the sanitizers are meant to be run at (a report names file and line). A
# library's files are compiled a batch at a time (a unity build), which parses
# their common headers once: these builds are made whole and rarely rebuilt.
configure() { # build folder, sanitizer list, extra cmake arguments...
  local dir="$1" list="$2"
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUR_SANITIZE="$list" -DZUR_GENERATE_ASSETS=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DZUR_TEST_OPTIMIZATION=-O0 -DCMAKE_UNITY_BUILD=ON \
    -DZUR_SHOW_DIR="$root/build/show" -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON "$@" >/dev/null
}

# Mesa unloads its GL driver when a program closes its display, and the leak
# checker then finds the driver's own allocations without a library name to
# suppress them by. The programs of this build link the driver, which keeps it
# loaded (and its allocations reachable) until exit. The driver's soname is not
# on the search path, so a link under that name points at it.
link=()
driver="$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1 || true)"
if [ -n "$driver" ]; then
  soname="$(objdump -p "$driver" | awk '/SONAME/ {print $2}')"
  keep="$root/build-asan/gl-driver"
  mkdir -p "$keep"
  ln -sf "$driver" "$keep/${soname:-swrast_dri.so}"
  link=(-DCMAKE_EXE_LINKER_FLAGS="-Wl,--no-as-needed -L$keep -l:${soname:-swrast_dri.so} -Wl,-rpath,$keep -Wl,--as-needed")
fi

# The show, every Linux test program but the two left out, and the fuzz replays
# (the Windows tests and the Wine-driven ones belong to the Windows build).
skipped="music_test|visual_assets_test|debian_package_test"
targets=(zoduv)
for f in tests/*/*_test.cpp fuzz/*_fuzz.cpp; do
  name="$(basename "$f" .cpp)"
  case "$name" in
    *_fuzz) targets+=("${name%_fuzz}_replay") ;;
    *_win32_test | windows_show_test) ;;
    *) [[ "$name" =~ ^($skipped)$ ]] || targets+=("$name") ;;
  esac
done
configure build-asan "address,undefined" "${link[@]}"
cmake --build build-asan -j"$(nproc)" --target "${targets[@]}"
# (An unbuilt test program stands in CTest's list as <name>_NOT_BUILT.)
(cd build-asan && "${xvfb[@]}" ctest --output-on-failure -j2 --timeout 1200 -LE "^($skipped)$" \
  -E "^($skipped)_NOT_BUILT$" "$@")

configure build-tsan thread
cmake --build build-tsan -j"$(nproc)" --target sound_test
(cd build-tsan && "${xvfb[@]}" ctest --output-on-failure -j2 --timeout 1200 -L "^sound_test$" "$@")
