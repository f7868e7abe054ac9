#!/usr/bin/env bash
# Stops a recording at each of its phases (start-up, the simulated lead-in before
# --from, encoding, muxing) with SIGINT, SIGTERM and two SIGINTs, over an earlier
# recording of the same name. Counts what must never happen: a hang, an ffmpeg
# that outlives the show, a stop that ends in silence, a broken file under the
# name or beside it (a file there must be one ffprobe reads, or the earlier file as
# it was), and an earlier file replaced by a stopped recording (only a stop while
# the file is being finished lets the recording, then whole, take the name). Not
# run by test.sh: it takes a few minutes.
#   xvfb-run -a -s "-screen 0 1920x1080x24" tools/test/stop_sweep.sh [BUILD_DIR]
set -u
build=$(cd "${1:-build}" && pwd)
show="$build/show"
[ -x "$build/zoduv" ] || { echo "stop_sweep: no built show in $build" >&2; exit 2; }
work=$(mktemp -d /tmp/zoduv_stop.XXXXXX)
trap 'rm -rf "$work"' EXIT
real_ffmpeg=$(command -v ffmpeg)

# An ffmpeg that notes every process id it runs as and, for the muxing, first
# marks that the muxing has begun and waits two seconds (room for the signals).
mkdir -p "$work/bin"
cat >"$work/bin/ffmpeg" <<EOF
#!/bin/sh
echo \$\$ >>"\$ZS_PIDS"
case "\$*" in *rawvideo*) exec "$real_ffmpeg" "\$@";; esac
echo \$\$ >"\$ZS_MUX"
sleep 2
exec "$real_ffmpeg" "\$@"
EOF
chmod +x "$work/bin/ffmpeg"

alive() { local s; s=$(cat "/proc/$1/stat" 2>/dev/null) || return 1; s=${s##*) }; [ "${s%% *}" != Z ]; }

runs=0 hangs=0 orphans=0 silent=0 broken=0 replaced=0
for phase in startup simulation encoding muxing; do
  for stop in INT TERM INTx2; do
    dir="$work/$phase-$stop"; mkdir -p "$dir"
    printf 'an earlier recording' >"$dir/m.mp4"
    args=(--no-dialog --size 320x180 --fps 30 --capture "$dir/m.mp4")
    case $phase in
      simulation) args+=(--from 150 --to 151 --no-sound) ;;
      *) args+=(--show-end 8) ;;
    esac
    ( cd "$show" && PATH="$work/bin:$PATH" ZS_PIDS="$dir/pids" ZS_MUX="$dir/mux" SDL_AUDIODRIVER=dummy \
        ZUR_MESSAGEBOX_ANSWER=no exec "$build/zoduv" "${args[@]}" >"$dir/out" 2>"$dir/err" ) &
    pid=$!
    # The moment of the phase.
    for _ in $(seq 1 3000); do
      case $phase in
        startup) sleep 0.05; break ;;
        simulation) grep -q '^111$' "$dir/out" 2>/dev/null && { sleep 0.5; break; } ;;
        encoding) grep -q 'capture: 30%' "$dir/err" 2>/dev/null && break ;;
        muxing) [ -s "$dir/mux" ] && break ;;
      esac
      sleep 0.1
    done
    case $stop in
      INT) kill -INT "$pid" ;;
      TERM) kill -TERM "$pid" ;;
      INTx2) kill -INT "$pid"; sleep 0.3; kill -INT "$pid" 2>/dev/null ;; # the first may have ended it
    esac
    verdict=ok
    for _ in $(seq 1 3000); do alive "$pid" || break; sleep 0.1; done
    if alive "$pid"; then verdict=HANG; hangs=$((hangs + 1)); kill -KILL "$pid"; fi
    wait "$pid"; status=$?
    runs=$((runs + 1))
    sleep 1
    while read -r child; do
      if alive "$child"; then verdict=ORPHAN; orphans=$((orphans + 1)); kill -KILL "$child"; fi
    done < <(cat "$dir/pids" 2>/dev/null)
    if ! grep -aqE 'stopped|being finished' "$dir/err"; then
      # Killed before the recording could catch the request: the shell's status says so.
      if [ "$status" -lt 129 ]; then verdict=SILENT; silent=$((silent + 1)); fi
    fi
    file="kept the earlier file"
    if ! printf 'an earlier recording' | cmp -s - "$dir/m.mp4"; then
      if ! ffprobe -v error "$dir/m.mp4" >/dev/null 2>&1; then file="BROKEN"; verdict=BROKEN; broken=$((broken + 1))
      elif [ "$phase" = muxing ]; then file="new recording"
      else file="REPLACED"; verdict=REPLACED; replaced=$((replaced + 1)); fi
    fi
    for beside in "$dir"/m.stopped-at-*.mp4; do
      [ -e "$beside" ] || continue
      if ffprobe -v error "$beside" >/dev/null 2>&1; then file="$file, stopped one beside"
      else file="$file, BROKEN beside"; verdict=BROKEN; broken=$((broken + 1)); fi
    done
    printf '%-8s %-10s %-6s status %3d  %-40s %s\n' "$verdict" "$phase" "$stop" "$status" "$file" \
      "$(tr -d '\0' <"$dir/err" | grep -E 'stopped|being finished|left as|parts' | tr '\n' ' ' | cut -c1-160)"
  done
done
echo "stop_sweep: $runs runs: $hangs hangs, $orphans ffmpeg left running, $silent silent, $broken broken files," \
  "$replaced earlier files replaced by a stopped recording"
[ $hangs -eq 0 ] && [ $orphans -eq 0 ] && [ $broken -eq 0 ] && [ $silent -eq 0 ] && [ $replaced -eq 0 ]
