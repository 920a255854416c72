# Helpers for the Windows end-to-end scripts that run the programs with the WinMM stand-in;
# sourced after support.sh. Environment: TAVRICK, TAVRICK_AGENT (the Windows programs),
# WINMM_STANDIN (the stand-in's controller), WINMM_STANDIN_DLL (its winmm.dll), WINE_RUN.
# The caller sets $work; at exit every program started here (and the simulator of support.sh)
# is ended and $work removed.

win_pids=()
standin_pid=""
standin_marks=0

# start_standin: the controller, its record in $work/standin.out, its commands through file
# descriptor 4; and $win_dir, a folder with copies of the programs beside the stand-in DLL, which
# Wine loads from there in place of its own for these programs only. Sets $standin_port.
start_standin() {
  rm -f "$work/standin.in"
  mkfifo "$work/standin.in"
  "$WINMM_STANDIN" <"$work/standin.in" >"$work/standin.out" 2>"$work/standin.err" &
  standin_pid=$!
  exec 4>"$work/standin.in"
  wait_for "$work/standin.err" "listening on" 1 30
  standin_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/standin.err")
  [ -n "$standin_port" ] || fail "the stand-in's controller did not start"
  export WINMM_STANDIN_PORT=$standin_port WINEDLLOVERRIDES="mscoree,mshtml=;winmm=n,b"
  win_dir="$work/win"
  mkdir -p "$win_dir"
  cp "$TAVRICK" "$win_dir/tavrick.exe"
  cp "$TAVRICK_AGENT" "$win_dir/tavrick-agent.exe"
  cp "$WINMM_STANDIN_DLL" "$win_dir/winmm.dll"
}

# standin LINE…: sends the commands (one a line, applied together) and waits until the controller
# has applied them; fails when it refused one.
standin() {
  standin_marks=$((standin_marks + 1))
  local mark="mark #$standin_marks#"
  printf '%s\n' "$@" "$mark" >&4
  wait_for "$work/standin.out" "> $mark"
  ! grep -q '^! ' "$work/standin.out" || fail "the stand-in refused: $(grep '^! ' "$work/standin.out")"
}

# wait_for_ends N: waits until N processes that used the stand-in have ended as the record tells
# it ("pid P ended"). Only then is all they sent in the record: lines without a reply may still be
# on their way when a program has already said that it is done.
wait_for_ends() {
  local tries=150
  until [ "$(grep -cE '^pid [0-9]+ ended$' "$work/standin.out" || true)" -ge "$1" ]; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "not $1 processes ended in the record"
    sleep 0.1
  done
}

# after_pass: returns just after the bridge began a pass (its first listing), so that the next
# regular pass is 3 s away.
after_pass() {
  wait_for "$work/standin.out" " midiInGetNumDevs → " \
    $(($(grep -c " midiInGetNumDevs → " "$work/standin.out" || true) + 1)) 30
}

# record_since N: the record after its first N lines.
record_since() { tail -n "+$(($1 + 1))" "$work/standin.out"; }
record_lines() { wc -l <"$work/standin.out"; }

# handle_of KEY: the last handle opened on the device KEY ("h3").
handle_of() {
  sed -n "s/.* midiInOpen [0-9]* ($1) → MMSYSERR_NOERROR \(h[0-9]*\)$/\1/p" "$work/standin.out" |
    tail -n 1
}

# expect_closed HANDLE: the record shows the close sequence of HANDLE, each call succeeding:
# reset, stop, the four buffers unprepared, MIM_CLOSE, midiInClose; and nothing after it. A handle
# whose device went away on the classic stack got its MIM_CLOSE then, and none at the close.
# Waits for the close first: the bridge says that the surface is gone before it closes.
expect_closed() {
  local calls expected removed="" closing="$1 MIM_CLOSE"
  wait_for_line "$work/standin.out" "$1 midiInClose → MMSYSERR_NOERROR" 1
  if grep -qxF "$1 MIM_CLOSE (device removed)" "$work/standin.out"; then
    removed="$1 MIM_CLOSE (device removed)"$'\n'
    closing=""
  fi
  calls=$(grep -E "^$1 (midiInReset|midiInStop|midiInUnprepareHeader|MIM_CLOSE|midiInClose)" \
    "$work/standin.out" | sed 's/ (returned [0-9]* buffers)//')
  expected="$removed$1 midiInReset → MMSYSERR_NOERROR
$1 midiInStop → MMSYSERR_NOERROR
$1 midiInUnprepareHeader buffer 0 → MMSYSERR_NOERROR
$1 midiInUnprepareHeader buffer 1 → MMSYSERR_NOERROR
$1 midiInUnprepareHeader buffer 2 → MMSYSERR_NOERROR
$1 midiInUnprepareHeader buffer 3 → MMSYSERR_NOERROR
${closing:+$closing
}$1 midiInClose → MMSYSERR_NOERROR"
  [ "$calls" = "$expected" ] || fail "close sequence of $1: $calls"
  [ "$(grep "^$1 " "$work/standin.out" | tail -n 1)" = "$1 midiInClose → MMSYSERR_NOERROR" ] ||
    fail "$1 was used after midiInClose: $(grep "^$1 " "$work/standin.out" | tail -n 1)"
}

# expect_sound_record: no line that a sound program never causes (see the stand-in's README).
expect_sound_record() {
  local bad
  bad=$(grep -E ' during midiIn|call on closed handle|call with an unknown handle|callback after midiInClose' \
    "$work/standin.out" || true)
  [ -z "$bad" ] || fail "the stand-in saw: $bad"
}

# start_win NAME PROGRAM ARG…: starts a program of $win_dir in the background; its output goes
# to $work/NAME.out and $work/NAME.err (files: Wine's helpers keep pipes open). Sets $win_pid.
start_win() {
  local name=$1 program=$2
  shift 2
  "$WINE_RUN" "$win_dir/$program" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" 4>&- &
  win_pid=$!
  win_pids+=("$win_pid")
}

# run_win NAME PROGRAM ARG…: runs a program of $win_dir to its end. Sets $status.
run_win() {
  local name=$1 program=$2
  shift 2
  status=0
  "$WINE_RUN" "$win_dir/$program" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" 4>&- ||
    status=$?
}

# stop_win PID: ends a program started by start_win; the system releases what it held.
stop_win() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# start_bridge NAME ARG…: `tavrick.exe run ARG…` in the background, once it has taken the
# single-instance lock (the data folder is the prefix's: a bridge of another program in the
# same prefix may hold it for a while). Sets $win_pid.
start_bridge() {
  local name=$1 attempt
  shift
  for ((attempt = 0; attempt < 120; attempt++)); do
    start_win "$name" tavrick.exe run "$@"
    while kill -0 "$win_pid" 2>/dev/null; do
      grep -qF "Đang chạy (" "$work/$name.out" 2>/dev/null && return 0
      sleep 0.1
    done
    grep -qF "đã đang chạy" "$work/$name.err" || fail "$name ended: $(cat "$work/$name.err")"
    sleep 1
  done
  fail "the single-instance lock stayed taken"
}

# wait_for_line FILE LINE COUNT [SECONDS]: waits until FILE has COUNT lines that are exactly
# LINE (within 15 s unless told); fails otherwise.
wait_for_line() {
  local file=$1 line=$2 count=$3 tries=$((${4:-15} * 10)) found
  for (( ; ; )); do
    found=$(grep -cxF -- "$line" "$file" 2>/dev/null) || true
    [ "${found:-0}" -lt "$count" ] || return 0
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "no $count× line '$line' in $(basename "$file")"
    sleep 0.1
  done
}

# wait_within FILE TEXT COUNT MILLISECONDS: waits until FILE has COUNT lines containing TEXT and
# fails when that took longer than MILLISECONDS; prints the time it took.
wait_within() {
  local file=$1 text=$2 count=$3 limit=$4 start elapsed found
  start=$(date +%s%N)
  for (( ; ; )); do
    found=$(grep -cF -- "$text" "$file" 2>/dev/null) || true
    elapsed=$((($(date +%s%N) - start) / 1000000))
    [ "${found:-0}" -lt "$count" ] || break
    [ "$elapsed" -le "$limit" ] || fail "no $count× '$text' in $(basename "$file") within $limit ms"
    sleep 0.02
  done
  echo "$elapsed"
}

# sim_requests N: the requests of the develop commands and ui.key after the first N lines of the
# simulator's output, without their "id", so that they can be compared whole.
sim_requests() {
  tail -n "+$(($1 + 1))" "$work/sim.out" | grep -E '"develop\.|"ui\.key"' |
    sed 's/^{"id":[0-9]*,/{/' || true
}
sim_lines() { wc -l <"$work/sim.out"; }

standin_cleanup() {
  local pid
  for pid in "${win_pids[@]}"; do
    stop_win "$pid"
  done
  exec 4>&- 2>/dev/null || true
  [ -z "$standin_pid" ] || stop_win "$standin_pid"
  [ -z "${sim_pid:-}" ] || stop_win "$sim_pid"
  rm -rf "$work"
}
trap standin_cleanup EXIT
