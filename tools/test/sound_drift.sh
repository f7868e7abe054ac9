#!/usr/bin/env bash
# Measures how far the music drifts from the show clock on a loaded machine: the
# show plays SECONDS of show time in real time into a PulseAudio null sink of its
# own while LOAD busy loops compete for the processor and, STOPS times, the whole
# program is stopped for 0.3 s (SIGSTOP: what a machine short of processor time
# does to it at its worst); the sink is recorded, and
# the music's position in the recording is found (cross-correlation with the track
# decoded by mp3pcm) near its start and near its end. The drift is how much less
# music than recording time passed in between (positive: the music fell behind).
#   tools/test/sound_drift.sh BUILD_DIR [SECONDS [LOAD [STOPS]]]      (run under a display)
# BUILD_DIR holds zoduv, mp3pcm and show/. Needs pulseaudio, parec, python3-numpy.
set -euo pipefail
build="$(realpath "${1:?usage: tools/test/sound_drift.sh BUILD_DIR [SECONDS [LOAD]]}")"
seconds="${2:-20}"
load="${3:-4}"
stops="${4:-0}"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; pulseaudio --kill >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg -s python3-numpy >/dev/null 2>&1 || apt-get install -y -qq python3-numpy >/dev/null 2>&1

export XDG_RUNTIME_DIR="$work/pulse"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=zur rate=44100" >/dev/null 2>&1
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
"$build/mp3pcm" "$build/show/music/lanternsong.mp3" "$work/track.raw" >/dev/null

parec -d zur.monitor --rate=44100 --channels=2 --format=s16le --raw "$work/rec.raw" &
recorder=$!
sleep 0.5
for _ in $(seq "$load"); do (while :; do :; done) & done
(cd "$build/show" && exec env SDL_AUDIODRIVER=pulseaudio "$build/zoduv" --no-dialog --size 640x360 \
  --show-end "$seconds" >"$work/show.out" 2>"$work/show.err") &
show=$!
until grep -q 111 "$work/show.out" 2>/dev/null || ! kill -0 $show 2>/dev/null; do sleep 0.2; done
sleep 4
for _ in $(seq "$stops"); do
  kill -STOP $show; sleep 0.3; kill -CONT $show; sleep 1.5
done
wait $show
sleep 0.5
kill $(jobs -p) 2>/dev/null || true
wait 2>/dev/null || true

/usr/bin/python3 - "$work/track.raw" "$work/rec.raw" "$seconds" <<'PY'
import sys, numpy as np
rate = 44100
# The show plays the track from its start: only its first seconds can be heard.
track = np.fromfile(sys.argv[1], dtype='<i2').reshape(-1, 2).mean(axis=1)[: int((float(sys.argv[3]) + 5) * rate)]
rec = np.fromfile(sys.argv[2], dtype='<i2').reshape(-1, 2).mean(axis=1)
loud = np.flatnonzero(np.abs(rec) > 200)
if len(loud) == 0:
    sys.exit("no sound was recorded")
def position(at):  # the track position (s) of the recording's 1.5 s window at `at` (s)
    w = rec[int(at * rate): int((at + 1.5) * rate)]
    n = 1 << int(np.ceil(np.log2(len(track) + len(w))))
    corr = np.fft.irfft(np.fft.rfft(track, n) * np.conj(np.fft.rfft(w, n)), n)[:len(track)]
    return np.argmax(corr) / rate
first = loud[0] / rate + 2.0
last = len(rec) / rate - 3.5
p1, p2 = position(first), position(last)
print(f"recording {first:.2f} s -> music {p1:.3f} s; recording {last:.2f} s -> music {p2:.3f} s")
print(f"drift: the music fell {((last - first) - (p2 - p1)) * 1000:.0f} ms behind the show clock over {last - first:.1f} s")
PY
