# Stages of a long script, timed, and lanes of stages run side by side. Sourced by
# ./test.sh.
#   stage NAME COMMAND...   runs the command under a heading and notes its
#                           wall-clock and processor time (its processes' user and
#                           system time), also when it fails;
#   lanes LOGDIR LANE...    runs each LANE (a function that calls stage) at the
#                           same time as the others, each writing to LOGDIR/LANE.log,
#                           and says on the terminal when a stage starts and ends;
#                           a lane stops at its first failing stage, and the log of
#                           a failed lane is printed whole once every lane is done.
# The table of every stage run so far is printed when the script ends, also when a
# stage fails.
stage_table="$(mktemp)"
stage_announce=false

stage_cpu() { # PID: processor seconds of the ended children of shell PID, and theirs
  local line
  read -r line <"/proc/$1/stat"
  read -r -a line <<<"${line##*) }" # from the state on: the name may hold spaces
  echo $(((line[13] + line[14]) / $(getconf CLK_TCK)))
}

stage() {
  local name="$1" start=$SECONDS cpu status=0 shell=$BASHPID
  shift
  cpu=$(stage_cpu $shell)
  printf '\n== %s\n' "$name"
  if $stage_announce; then printf '   %s ...\n' "$name" >&3; fi
  # In a subshell of its own, with errexit: a command in an `||` list would run
  # with errexit off all the way down, and a failing step would go unnoticed.
  local errexit=false
  [[ $- == *e* ]] && errexit=true
  set +e
  (set -e; "$@")
  status=$?
  if $errexit; then set -e; fi
  local wall=$((SECONDS - start)) used=$(($(stage_cpu $shell) - cpu)) verdict=""
  [ $status -eq 0 ] || verdict="  FAILED (status $status)"
  local row
  row="$(printf '%-44s %3d:%02d   %4d s%s' "$name" $((wall / 60)) $((wall % 60)) "$used" "$verdict")"
  echo "$row" >>"$stage_table"
  if $stage_announce; then printf '   %s\n' "$row" >&3; fi
  return $status
}

lanes() {
  local dir="$1" lane failed=()
  shift
  mkdir -p "$dir"
  local -A pids=()
  exec 3>&1
  for lane in "$@"; do
    (stage_announce=true; "$lane") >"$dir/$lane.log" 2>&1 &
    pids[$lane]=$!
  done
  # Background jobs of a script ignore Ctrl+C: pass it on to every process of ours.
  trap 'trap - INT TERM; kill 0' INT TERM
  for lane in "$@"; do
    if wait "${pids[$lane]}"; then
      echo "-- $lane passed; its log: $dir/$lane.log"
      grep -E 'tests passed|tests failed|checks passed|check\(s\) failed' "$dir/$lane.log" | sed 's/^/   /' || true
    else
      failed+=("$lane")
    fi
  done
  trap - INT TERM
  for lane in "${failed[@]}"; do
    printf '\n-- %s failed; its log (%s):\n' "$lane" "$dir/$lane.log"
    cat "$dir/$lane.log"
  done
  [ ${#failed[@]} -eq 0 ]
}

stage_report() {
  [ -s "$stage_table" ] || { rm -f "$stage_table"; return 0; }
  printf '\n== Stages                                      wall  processor\n'
  cat "$stage_table"
  printf '%-44s %3d:%02d\n' "all" $((SECONDS / 60)) $((SECONDS % 60))
  rm -f "$stage_table"
}
trap stage_report EXIT
