#!/usr/bin/env bash
# Damages every asset of the built show in turn (missing, empty, cut in half, one
# byte in 2000 changed, a folder, a FIFO, unreadable) and runs the show briefly on
# each copy. Counts what must never happen: an abort (a signal, "terminate
# called"), a hang (no end within the time limit) and a damaged file that the
# show passes over without a word on standard error. Not run by test.sh: it takes
# some 15 minutes.
#   tools/test/damage_sweep.sh [BUILD_DIR] [SECONDS_OF_SHOW] [ASSET_REGEX] [DAMAGES]
#   (under a display: xvfb-run -a -s "-screen 0 1920x1080x24" tools/test/damage_sweep.sh build;
#   DAMAGES is a list such as "half corrupt", every kind by default)
set -u
build=$(cd "${1:-build}" && pwd)
show_end=${2:-0.5}
only=${3:-.}
damages=${4:-missing empty half corrupt folder fifo unreadable}
show="$build/show"
[ -x "$build/zoduv" ] && [ -d "$show" ] || { echo "damage_sweep: no built show in $build" >&2; exit 2; }
work=$(mktemp -d /tmp/zoduv_damage.XXXXXX)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
log="$work/../zoduv_damage_sweep.log"
: >"$log"

runs=0 aborts=0 hangs=0 silent=0 fatal=0 named=0
damage() { # FILE HOW
  local file=$1 how=$2 size
  size=$(stat -c %s "$file")
  case $how in
    missing) rm -f "$file" ;;
    empty) rm -f "$file"; : >"$file" ;;
    half) head -c $(( size / 2 | 1 )) "$file" >"$file.cut"; rm -f "$file"; mv "$file.cut" "$file" ;;
    corrupt) python3 - "$file" <<'EOF'
import sys
p = sys.argv[1]
b = bytearray(open(p, 'rb').read())
for i in range(2000, len(b), 2000):
    b[i] ^= 0x5A
import os
os.remove(p)
open(p, 'wb').write(b)
EOF
      ;;
    folder) rm -f "$file"; mkdir "$file" ;;
    fifo) rm -f "$file"; mkfifo "$file" ;;
    unreadable) cp --remove-destination "$file" "$file.copy"; mv "$file.copy" "$file"; chmod 000 "$file" ;;
  esac
}

cd "$show" || exit 2
# fonts/ is read by the Windows build only.
mapfile -t assets < <(find . -type f -not -path './fonts/*' | sed 's|^\./||' | grep -E "$only" | sort)
skipped=0
for asset in "${assets[@]}"; do
  for how in $damages; do
    # Permissions do not stop root; a file of 2000 bytes or less has no byte to change.
    if { [ "$how" = unreadable ] && [ "$(id -u)" -eq 0 ]; } ||
       { [ "$how" = corrupt ] && [ "$(stat -c %s "$asset")" -le 2000 ]; }; then
      skipped=$((skipped + 1))
      continue
    fi
    copy="$work/copy"
    rm -rf "$copy"
    cp -al "$show" "$copy"
    damage "$copy/$asset" "$how"
    ( cd "$copy" && SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no timeout -k 5 60 "$build/zoduv" \
        --no-dialog --fixed-step 60 --show-end "$show_end" >"$work/out" 2>"$work/err" )
    status=$?
    runs=$((runs + 1))
    base=$(basename "$asset")
    verdict=ok
    if [ $status -eq 124 ] || [ $status -eq 137 ]; then
      verdict=HANG; hangs=$((hangs + 1))
    elif [ $status -gt 128 ] || grep -q "terminate called" "$work/err"; then
      verdict=ABORT; aborts=$((aborts + 1))
    elif grep -qF "$base" "$work/err"; then
      named=$((named + 1)); [ $status -ne 0 ] && fatal=$((fatal + 1))
    else
      verdict=SILENT; silent=$((silent + 1))
    fi
    printf '%-8s %-38s %-10s status %3d  %s\n' "$verdict" "$asset" "$how" "$status" \
      "$(grep -F "$base" "$work/err" | head -1)" >>"$log"
  done
done
chmod -R u+rwx "$work"
echo "damage_sweep: $runs runs: $aborts aborts, $hangs hangs, $silent silent ($named named on standard error, $fatal of them ending the show with its status); $skipped cases skipped (unreadable as root, corrupt on files of 2000 bytes or less)"
echo "damage_sweep: one line a run in $(cd "$(dirname "$log")" && pwd)/$(basename "$log")"
grep -E '^(ABORT|HANG|SILENT)' "$log" || true
[ $aborts -eq 0 ] && [ $hangs -eq 0 ]
