# ninja_folder DIR: empties the build folder DIR when an earlier run configured it
# for another generator (CMake refuses to switch one). The folders this is used
# for are the test scripts' own and hold nothing but their build. Sourced.
ninja_folder() {
  local cache="$1/CMakeCache.txt"
  if [ -f "$cache" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$cache"; then
    rm -rf "$1"
  fi
}
