#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: the cross-built tests of the cores,
# then the Linux build's end-to-end tests of the Windows show (label "wine"). They
# share one virtual display that nothing else uses, so no other window takes the
# keyboard while the dialog and the message boxes wait for keys, and one Wine
# prefix with a wineserver kept running (without it every program start waits
# about 2.6 s).
#   tools/windows/test.sh WINDOWS_BUILD LINUX_BUILD [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/../.."
windows="$(realpath "$1")"
linux="$(realpath "$2")"
shift 2
export WINEPREFIX="$windows/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export ZUR_WINDOWS="$windows" ZUR_LINUX="$linux"
# A sound server of our own with a sink that plays nowhere: Wine's waveOut then
# has a device, and a test listens to the sink's monitor.
export XDG_RUNTIME_DIR="$windows/pulse"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-native-protocol-unix \
     --load="module-null-sink sink_name=zur" >/dev/null 2>&1; then
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  trap 'pulseaudio --kill >/dev/null 2>&1 || true' EXIT
fi
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" bash -c '
  set -u
  tools/windows/wine-prefix.sh
  wineserver -p
  # The first program starts the desktop and the background services, which
  # would keep its output pipe open for good: start them here, with no pipe,
  # before ctest lists the tests through Wine.
  wine cmd /c exit </dev/null >/dev/null 2>&1
  status=0
  (cd "$ZUR_WINDOWS" && ctest --output-on-failure -j2 --timeout 600 "$@") || status=1
  (cd "$ZUR_LINUX" && ctest --output-on-failure -L wine --timeout 900 "$@") || status=1
  wineserver -k || true
  exit $status' windows-tests "$@"
