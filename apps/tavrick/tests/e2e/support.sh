# Helpers for the end-to-end scripts; sourced, not run. The caller sets $work, the folder that
# holds the programs' output files (*.out, *.err), and may set $log, a log file of the bridge.

# fail MESSAGE: reports the failure with the end of every output file (and of $log) and exits
# with 1.
fail() {
  echo "FAIL: $*" >&2
  local f
  for f in "$work"/*.out "$work"/*.err ${log:+"$log"}; do
    [ -s "$f" ] && { echo "--- $(basename "$f")" >&2; tail -n 20 "$f" >&2; }
  done
  exit 1
}

# wait_for FILE TEXT [COUNT] [SECONDS]: waits until FILE has COUNT lines containing TEXT
# (default 1, within 15 s); fails otherwise. A file not made yet has no lines.
wait_for() {
  local file=$1 text=$2 count=${3:-1} tries=$((${4:-15} * 10)) found
  for (( ; ; )); do
    found=$(grep -cF -- "$text" "$file" 2>/dev/null) || true
    [ "${found:-0}" -lt "$count" ] || return 0
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "no $count× '$text' in $(basename "$file")"
    sleep 0.1
  done
}

# start_simulator: the simulated editing application on a free port, its output in
# $work/sim.out (the requests) and $work/sim.err. Sets $sim_pid and $port.
start_simulator() {
  "$SORVIC_SIM" --port 0 </dev/null >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  wait_for "$work/sim.err" "listening on" 1 30
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.err")
  [ -n "$port" ] || fail "the simulator did not start"
}

# piped NAME COMMAND...: runs COMMAND with its standard output read through a pipe into
# $work/NAME.out and its standard error in $work/NAME.err, as `COMMAND | more` would, and waits
# (60 s at most) until the pipe has reached its end: every process that holds its writing end has
# let go of it. Fails when it does not. Sets $status to COMMAND's exit code.
piped() {
  local name=$1 reader tries=600
  shift
  {
    status=0
    "$@" 2>"$work/$name.err" </dev/null || status=$?
    echo "$status" >"$work/$name.code"
  } | cat >"$work/$name.out" &
  reader=$!
  while kill -0 "$reader" 2>/dev/null; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "$name: its output pipe did not reach its end"
    sleep 0.1
  done
  wait "$reader" || true
  status=$(cat "$work/$name.code")
}
