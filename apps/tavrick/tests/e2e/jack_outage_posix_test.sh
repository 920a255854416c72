#!/usr/bin/env bash
# The Linux programs while their MIDI service fails them: a private JACK server that the test
# stops with SIGSTOP (it then answers no client), lets go on, kills and starts again under the
# running bridge. Nothing waits for the stopped server without a bound: `ports` and `watch` end,
# `run` logs its start-up and absence lines and hears the surface once the server answers; a
# server that goes away is an unplugged surface, and its return a plugged one.
# Environment: TAVRICK, SORVIC_SIM, VIRTUAL_SURFACE (paths of the programs).
set -euo pipefail
: "${TAVRICK:?}" "${SORVIC_SIM:?}" "${VIRTUAL_SURFACE:?}"

work=$(mktemp -d)
pids=()
source "$(dirname "$0")/support.sh"
trap end_jack_test EXIT

JACK_DEFAULT_SERVER=$(jack_server_name)
export JACK_DEFAULT_SERVER
export LOCALAPPDATA="$work/data" HOME="$work/home" XDG_DATA_HOME="$work/xdg"
surface_name="Loupedeck+ virtual"
port_name="$surface_name:$surface_name"
absent='… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa "Loupedeck")'
unplugged="… Loupedeck+ đã rút ra; chờ cắm lại"
heard="→ đang nghe $port_name"
stalled="✗ JACK không trả lời"

# One knob turn reaches the editing application as the adjustment DELTA.
turn_arrives() {
  echo "wait-connected" >&3
  echo "b0 21 $1" >&3
  wait_for "$work/sim.out" "\"delta\":$2}"
}

# A command that must end by itself while JACK does not answer (`timeout` is the guard against
# a hang, not a measure of speed). Sets $status.
ends_alone() {
  local name=$1
  shift
  status=0
  timeout 60 "$TAVRICK" "$@" >"$work/$name.out" 2>"$work/$name.err" 3>&- || status=$?
  [ "$status" != 124 ] || fail "$name waited for the stopped JACK server"
}

# `ports` while JACK does not answer: the other MIDI APIs are still listed; with none of them on
# this machine (no ALSA sequencer device) the list cannot be read at all.
ports_without_jack() {
  ends_alone ports ports
  ! grep -qF "$surface_name" "$work/ports.out" || fail "ports listed a port of the stopped server"
  if [ -e /dev/snd/seq ]; then
    [ "$status" = 0 ] || fail "ports exit code $status with ALSA beside the stopped server"
  else
    [ "$status" = 1 ] || fail "ports exit code $status"
    [ "$(cat "$work/ports.err")" = "$stalled" ] || fail "ports message"
  fi
}

start_jack
start_simulator
pids+=("$sim_pid")
start_surface 1
wait_for_port "$port_name"

# The server stops answering before anything of the bridge has connected to it.
kill -STOP "$jack_pid"
ports_without_jack
ends_alone watch watch --source loupedeck
[ "$status" = 1 ] || fail "watch exit code $status"
grep -qF '✗ không thấy thiết bị MIDI tên chứa "loupedeck"' "$work/watch.err" || fail "watch message"

"$TAVRICK" run --port "$port" --no-env --source Loupedeck >"$work/tavrick.out" 2>"$work/tavrick.err" 3>&- &
pids+=($!)
tavrick_pid=$!
wait_for "$work/tavrick.out" "Đang chạy (421 ô ánh xạ, cổng $port). Fn = giữ, Custom Mode = bật/tắt."
wait_for "$work/tavrick.out" "$absent"
! grep -qF "$heard" "$work/tavrick.out" || fail "the surface was opened on the stopped server"

# Once the server answers again, a later pass lists and opens the surface, and only once.
kill -CONT "$jack_pid"
wait_for "$work/tavrick.out" "$heard"
wait_for "$work/sim.out" '"ui.inspect"'
turn_arrives 01 0.05

# The server is shut down: the surface counts as unplugged. It comes back under the same name
# with a new surface, which the bridge opens without a restart.
kill "$jack_pid"
wait "$jack_pid" 2>/dev/null || true
wait_for "$work/tavrick.out" "$unplugged"
exec 3>&-
kill "$surface_pid"
wait "$surface_pid" 2>/dev/null || true
start_jack
start_surface 2
wait_for "$work/tavrick.out" "$heard" 2
turn_arrives 7f -0.05

# The server dies and comes back once more, stopped as soon as it can take clients: whether the
# bridge's attempt to connect came before the stop or hangs in it, it connects once it can.
kill -9 "$jack_pid"
wait "$jack_pid" 2>/dev/null || true
wait_for "$work/tavrick.out" "$unplugged" 2
exec 3>&-
kill "$surface_pid"
wait "$surface_pid" 2>/dev/null || true
start_jack
kill -STOP "$jack_pid"
ports_without_jack
kill -CONT "$jack_pid"
start_surface 3
wait_for "$work/tavrick.out" "$heard" 3
turn_arrives 02 0.1

# Each line once per event: no second absence line, no surface opened twice.
[ "$(grep -cxF -- "$absent" "$work/tavrick.out")" = 1 ] || fail "absence lines"
[ "$(grep -cxF -- "$heard" "$work/tavrick.out")" = 3 ] || fail "opening lines"
[ "$(grep -cxF -- "$unplugged" "$work/tavrick.out")" = 2 ] || fail "unplug lines"
[ ! -s "$work/tavrick.err" ] || fail "tavrick wrote to standard error"
kill -0 "$tavrick_pid" 2>/dev/null || fail "tavrick run ended"
echo "PASS"
