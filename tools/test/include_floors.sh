#!/usr/bin/env bash
# Checks that every #include of the show's sources stays in its own folder or
# points down the floors, bottom first:
#   base, platform, audio, formats, gl, render, engine, scene, app
# (tools/, tests/, bench/ and fuzz/ stand above them all). A floor's subfolders
# (gl/web/) belong to it. Includes go by folder from the top of the tree, with
# quotes or angle brackets alike; one that climbs by a relative path ("../") is
# refused, since it would slip past the check. A top-level folder with sources
# that is neither a floor nor one of those above fails too, so a new floor cannot
# be forgotten here. Prints each offence and exits 1 when there is one.
# Argument: the source tree.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
floors=(base platform audio formats gl render engine scene app)
tops=(tools tests bench fuzz docs)
declare -A rank
for i in "${!floors[@]}"; do rank[${floors[$i]}]=$i; done
for top in "${tops[@]}"; do rank[$top]=${#floors[@]}; done

bad=0
for dir in "$root"/*/; do
  name="$(basename "$dir")"
  case "$name" in build*) continue ;; esac # build folders hold generated sources
  [ -n "${rank[$name]+set}" ] && continue
  if [ -n "$(find "$dir" \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -print -quit)" ]; then
    echo "$name/: a folder of sources that is not a floor (${floors[*]}) nor one of ${tops[*]}"
    bad=1
  fi
done

for floor in "${floors[@]}"; do
  [ -d "$root/$floor" ] || continue
  while IFS=: read -r file line text; do
    target="${text#*[\"<]}"
    if [[ "$target" == .* ]]; then
      echo "${file#"$root"/}:$line: $floor includes by a relative path: ${text}"
      bad=1
      continue
    fi
    target="${target%%/*}"
    [ -n "${rank[$target]+set}" ] || continue
    if (( ${rank[$target]} > ${rank[$floor]} )); then
      echo "${file#"$root"/}:$line: $floor includes up into $target/: ${text}"
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*("[a-z_]+/|<[a-z_]+/|"\.)' "$root/$floor" \
             --include='*.h' --include='*.cpp' --include='*.rc' || true)
done
if (( bad )); then
  echo "include_floors: includes must stay in their folder or point down (${floors[*]})"
  exit 1
fi
echo "include_floors: every include stays in its folder or points down"
