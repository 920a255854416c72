#!/usr/bin/env bash
# The Linux bridge never stays deaf when the surface comes back under the same name before a
# pass could see it gone: the virtual surface on a private JACK server quits and starts again at
# once, its port listed as before. The bridge hears of the new port's registration, says the
# unplug line and the listening line once each, and every turn after it arrives; it is heard again
# before the next 3 s pass would have come (the time is printed). Then a surface that quits is
# told gone early, and heard again when it comes back, as before.
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
unplugged="… Loupedeck+ đã rút ra; chờ cắm lại"
listening="→ đang nghe $port_name"
# Heard again before the next regular pass would have come, with room for a loaded machine: the
# notice brings a pass within about 0.5 s, a regular pass comes 3 s after the last one.
bound_ms=2500
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# The poller's own lines about its connection may come anywhere among the bridge's.
bridge_lines() { tail -n "+$(($1 + 1))" "$work/tavrick.out" | grep -vE "Orvalen Sorvic" || true; }

# turns_arrive: once the bridge's input is connected, a burst of turns reaches the editing
# application whole and in order.
turns_arrive() {
  local before ends values=(01 02 04 7f 7e 7c) i
  before=$(grep -c '"develop.adjust"' "$work/sim.out" || true)
  ends=$(grep -c '"develop.endInteraction"' "$work/sim.out" || true)
  echo "wait-connected" >&3
  for ((i = 0; i < 24; i++)); do
    echo "b0 21 ${values[i % 6]}" >&3
  done
  wait_for "$work/sim.out" '"develop.endInteraction"' $((ends + 1)) 60
  [ "$(grep '"develop.adjust"' "$work/sim.out" | tail -n "+$((before + 1))" |
    sed 's/.*"delta":\([-0-9.e]*\)}.*/\1/' | tr '\n' ' ')" = "$(for ((i = 0; i < 4; i++)); do
      printf '%s ' 0.05 0.1 0.2 -0.05 -0.1 -0.2
    done)" ] || fail "turns: $(grep '"develop.adjust"' "$work/sim.out" | tail -n 24)"
}

# quit_surface: the surface's program ends, and its port with it.
quit_surface() {
  exec 3>&-
  wait "$surface_pid" || fail "virtual surface exit code $?"
}

start_jack
start_simulator
pids+=("$sim_pid")
start_surface 1
wait_for_port "$port_name"
"$TAVRICK" run --port "$port" --no-env --source Loupedeck >"$work/tavrick.out" \
  2>"$work/tavrick.err" 3>&- &
pids+=($!)
tavrick_pid=$!
wait_for "$work/tavrick.out" "$listening"
wait_for "$work/sim.out" '"ui.inspect"'
turns_arrive

# Quit and started again at once, under the same name.
since=$(wc -l <"$work/tavrick.out")
quit_surface
start=$(now_ms)
start_surface 2
for (( ; ; )); do
  [ "$(bridge_lines "$since" | grep -cxF "$listening")" -lt 1 ] || break
  (($(now_ms) - start < 15000)) || fail "not heard again"
  sleep 0.02
done
took=$(($(now_ms) - start))
[ "$(bridge_lines "$since")" = "$unplugged
$listening" ] || fail "lines after the restart: $(bridge_lines "$since")"
((took <= bound_ms)) || fail "heard again after $took ms, not before the next pass"
echo "restarted within a pass: heard again after $took ms"
turns_arrive

# Quit and back only once the bridge has told it gone: the unplug comes early, as the return.
since=$(wc -l <"$work/tavrick.out")
quit_surface
start=$(now_ms)
wait_for "$work/tavrick.out" "$unplugged" 2
echo "quit: unplug told after $(($(now_ms) - start)) ms (a pass without notices: up to 3000 ms)"
start=$(now_ms)
start_surface 3
wait_for "$work/tavrick.out" "$listening" 3
echo "back: heard again after $(($(now_ms) - start)) ms"
[ "$(bridge_lines "$since")" = "$unplugged
$listening" ] || fail "lines after the absence: $(bridge_lines "$since")"
! grep -qF "… chờ Loupedeck+" "$work/tavrick.out" || fail "absence line"
turns_arrive

[ ! -s "$work/tavrick.err" ] || fail "tavrick wrote to standard error: $(cat "$work/tavrick.err")"
kill -0 "$tavrick_pid" 2>/dev/null || fail "tavrick run ended"
echo "PASS"
