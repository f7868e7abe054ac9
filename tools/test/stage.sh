# Stages of a long script, timed: `stage NAME COMMAND...` runs the command under a
# heading and notes its wall-clock and processor time; the table of the stages run
# so far is printed when the script ends, also when a stage fails. Sourced by
# ./test.sh.
stage_rows=()

stage_cpu() { # processor seconds of every child that has ended so far
  local user sys
  read -r _ _ < <(times | head -n 1) # the shell's own
  read -r user sys < <(times | tail -n 1)
  awk -v u="$user" -v s="$sys" 'function sec(t, m) { m = t; sub(/m.*/, "", m); sub(/^[0-9]+m/, "", t); sub(/s$/, "", t);
    return m * 60 + t } BEGIN { printf "%d", sec(u) + sec(s) }'
}

stage() {
  local name="$1" start=$SECONDS cpu
  shift
  cpu=$(stage_cpu)
  printf '\n== %s\n' "$name"
  "$@"
  local wall=$((SECONDS - start)) used=$(($(stage_cpu) - cpu))
  stage_rows+=("$(printf '%-44s %3d:%02d   %4d s' "$name" $((wall / 60)) $((wall % 60)) "$used")")
}

stage_report() {
  [ ${#stage_rows[@]} -gt 0 ] || return 0
  printf '\n== Stages                                      wall  processor\n'
  printf '%s\n' "${stage_rows[@]}"
  printf '%-44s %3d:%02d\n' "all" $((SECONDS / 60)) $((SECONDS % 60))
}
trap stage_report EXIT
