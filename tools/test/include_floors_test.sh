#!/usr/bin/env bash
# Tests the include check itself: on a copy of the tree's sources it must pass,
# and each include planted below must make it fail and name the planted file.
# Argument: the source tree.
set -euo pipefail
root="$(cd "${1:-$(dirname "$0")/../..}" && pwd)"
check="$root/tools/test/include_floors.sh"
copy="$(mktemp -d)"
trap 'rm -rf "$copy"' EXIT
mkdir "$copy/tree"
(cd "$root" && find . \( -path './build*' -o -path './.git' -o -name node_modules \) -prune -o \
   \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -exec cp --parents -t "$copy/tree" {} +)

if ! "$check" "$copy/tree" >"$copy/out"; then
  cat "$copy/out"
  echo "include_floors_test: the check fails on the untouched tree"
  exit 1
fi

# file to plant | its include line
planted=(
  'gl/web/planted_web.cpp|#include "render/textures.h"'   # the GL layer climbing into rendering
  'gl/planted.h|#include "engine/demo_context.h"'
  'formats/planted.cpp|#include "gl/gl_api.h"'            # a lower floor climbing into the GL layer
  'platform/planted.h|#include <scene/part_start.h>'      # angle brackets count too
  'render/planted.cpp|  #  include "app/options.h"'
  'gl/planted.cpp|#include "../render/textures.h"'        # a relative path would slip past
  'shaders/planted.cpp|#include "gl/gl_api.h"'            # a folder the check does not know
)
failed=0
for entry in "${planted[@]}"; do
  file="${entry%%|*}"
  mkdir -p "$copy/tree/$(dirname "$file")"
  printf '%s\n' "${entry#*|}" >"$copy/tree/$file"
  if "$check" "$copy/tree" >"$copy/out"; then
    echo "include_floors_test: passed with $file: ${entry#*|}"
    failed=1
  elif ! grep -q "^$(dirname "$file")/" "$copy/out"; then
    echo "include_floors_test: failed with $file without naming it:"
    cat "$copy/out"
    failed=1
  fi
  rm "$copy/tree/$file"
  rmdir "$copy/tree/$(dirname "$file")" 2>/dev/null || true
done
(( failed == 0 )) && echo "include_floors_test: the check fails on each of ${#planted[@]} planted includes"
exit $failed
