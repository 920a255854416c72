# Helpers for the end-to-end scripts; sourced, not run. The caller sets $work, the folder that
# holds the programs' output files (*.out, *.err), and may set $log, a log file of the bridge.
#
# The scripts run with pipefail: a `grep -q` at the end of a pipe quits at its first match, and
# the writer before it, still writing, then dies of SIGPIPE and fails the pipe by chance. Let grep
# read everything instead (`| grep PATTERN >/dev/null`).

# fail MESSAGE: reports the failure with the end of every output file (and of $log) and exits
# with 1.
fail() {
  echo "FAIL: $*" >&2
  local f
  for f in "$work"/*.out "$work"/*.err ${log:+"$log"}; do
    [ -s "$f" ] && { echo "--- $(basename "$f")" >&2; tail -n 20 "$f" >&2; }
  done
  # TAVRICK_E2E_KEEP=FOLDER keeps the whole work folder of a failed run there.
  [ -z "${TAVRICK_E2E_KEEP:-}" ] || cp -r "$work" "$TAVRICK_E2E_KEEP/" || true
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

# jack_server_name: the name of the private JACK server of this build's end-to-end tests. JACK
# keeps at most eight servers in a registry in /dev/shm, and the entry of a server that was
# killed, or whose client was, stays there until a server of the same name starts: one name for
# every run keeps a build to one entry. The tests of a build take the jack lock, so two of them
# never run a server at once.
jack_server_name() {
  echo "tavrick-e2e-$(printf '%s' "${BUILD_DIR:-$PWD}" | cksum | cut -d' ' -f1)"
}

# start_jack: a private JACK server named $JACK_DEFAULT_SERVER, synchronous with a short client
# time-out (no cycle's MIDI is lost under load), its output in $work/jackd.out and .err; returns
# once a client can connect to it. Sets $jack_pid and adds it to $pids. Needs $VIRTUAL_SURFACE.
start_jack() {
  # JACK's metadata database in /dev/shm is shared by every server of the user. Each client that
  # is killed leaves locks and mutexes in it; repeated runs fill its mutex region ("BDB2034
  # unable to allocate memory for mutex") or leave a lock held, and clients then complain or
  # hang. With no server running it is stale: each run starts from a fresh one.
  pgrep -x jackd >/dev/null || rm -rf "/dev/shm/jack_db-$(id -u)"
  ! "$VIRTUAL_SURFACE" --name probe </dev/null >/dev/null 2>&1 3>&- ||
    fail "a JACK server named $JACK_DEFAULT_SERVER is running already (left by an earlier run?)"
  jackd -S -t 50 -r -n "$JACK_DEFAULT_SERVER" -d dummy -p 64 >>"$work/jackd.out" \
    2>>"$work/jackd.err" 3>&- &
  jack_pid=$!
  pids+=("$jack_pid")
  local deadline=$((SECONDS + 30))
  until "$VIRTUAL_SURFACE" --name probe </dev/null >/dev/null 2>&1 3>&-; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the JACK server did not start"
    sleep 0.1
  done
  kill -0 "$jack_pid" 2>/dev/null || fail "the JACK server ended at its start"
}

# start_surface N: the virtual surface called $surface_name, fed line by line through file
# descriptor 3, its output in $work/surfaceN.out and .err. Programs started later must not
# inherit that descriptor (3>&-), or the surface never sees the end of its input. Sets
# $surface_pid and adds it to $pids.
start_surface() {
  rm -f "$work/surface.in"
  mkfifo "$work/surface.in"
  "$VIRTUAL_SURFACE" --name "$surface_name" <"$work/surface.in" >"$work/surface$1.out" \
    2>"$work/surface$1.err" &
  pids+=($!)
  surface_pid=$!
  exec 3>"$work/surface.in"
}

# wait_for_port NAME [SECONDS]: waits until `$TAVRICK ports` lists the port NAME (within 30 s
# unless told); fails otherwise.
wait_for_port() {
  local name=$1 deadline=$((SECONDS + ${2:-30}))
  until "$TAVRICK" ports 2>/dev/null 3>&- | grep -xF -- "$name" >/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "tavrick ports does not list '$name'"
    sleep 0.1
  done
}

# stop_all: ends every process of $pids, the last started first. One that a test stopped with a
# signal is let go on first; whatever ignores the request to end is killed after 5 s.
stop_all() {
  local i tries
  exec 3>&- 2>/dev/null || true
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -CONT "${pids[i]}" 2>/dev/null || true
    kill "${pids[i]}" 2>/dev/null || continue
    for ((tries = 0; tries < 50; tries++)); do
      kill -0 "${pids[i]}" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}

# end_jack_test: the exit trap of a script with a private JACK server: ends the processes of
# $pids, removes what servers of that name leave in /dev/shm (semaphores and shared memory stay
# behind even after a clean shutdown; other servers may be running, so only that name is
# touched) and the folder $work.
end_jack_test() {
  stop_all
  rm -f "/dev/shm/jack_sem.$(id -u)_${JACK_DEFAULT_SERVER:-none}_"* \
    "/dev/shm/jack_${JACK_DEFAULT_SERVER:-none}_"*
  rm -rf "$work"
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
