#!/usr/bin/env bash
# Checks that every #include "folder/..." of the show's sources stays in its own
# folder or points down the floors, bottom first:
#   base, platform, audio, formats, gl, render, engine, scene, app
# (tools/, tests/, bench/ and fuzz/ stand above them all). Prints each include
# that climbs and exits 1 when there is one. Argument: the source tree.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
floors=(base platform audio formats gl render engine scene app)
declare -A rank
for i in "${!floors[@]}"; do rank[${floors[$i]}]=$i; done
for top in tools tests bench fuzz; do rank[$top]=${#floors[@]}; done

bad=0
for floor in "${floors[@]}"; do
  [ -d "$root/$floor" ] || continue
  while IFS=: read -r file line text; do
    target="${text#*\"}"
    target="${target%%/*}"
    [ -n "${rank[$target]+set}" ] || continue
    if (( ${rank[$target]} > ${rank[$floor]} )); then
      echo "${file#"$root"/}:$line: $floor includes up into $target/: ${text}"
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$root/$floor" \
             --include='*.h' --include='*.cpp' --include='*.rc' || true)
done
if (( bad )); then
  echo "include_floors: includes must stay in their folder or point down (${floors[*]})"
  exit 1
fi
echo "include_floors: every include stays in its folder or points down"
