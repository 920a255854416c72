#!/usr/bin/env bash
# The bridge end to end on Linux: a private JACK server, the simulator of the editing application,
# the virtual surface and the real `tavrick run`. Checks the start-up, one knob turn as requests,
# unplugging and plugging in again, the single-instance refusal, a long burst of turns, and the
# ports and watch commands against the same surface.
# Environment: TAVRICK, SORVIC_SIM, VIRTUAL_SURFACE (paths of the programs).
set -euo pipefail
: "${TAVRICK:?}" "${SORVIC_SIM:?}" "${VIRTUAL_SURFACE:?}"

work=$(mktemp -d)
pids=()
source "$(dirname "$0")/support.sh"
trap end_jack_test EXIT

# Requests without their "id", so that they can be compared whole.
requests() { grep -F '"develop.' "$work/sim.out" | sed 's/^{"id":[0-9]*,/{/' || true; }

JACK_DEFAULT_SERVER=$(jack_server_name)
export JACK_DEFAULT_SERVER
export LOCALAPPDATA="$work/data" HOME="$work/home" XDG_DATA_HOME="$work/xdg"
surface_name="Loupedeck+ virtual"
port_name="$surface_name:$surface_name"

start_jack
start_simulator
pids+=("$sim_pid")
start_surface 1
# The bridge looks for the surface at once: its port must be listed before the bridge starts.
wait_for_port "$port_name"

"$TAVRICK" run --port "$port" --no-env --source Loupedeck >"$work/tavrick.out" 2>"$work/tavrick.err" 3>&- &
pids+=($!)
tavrick_pid=$!
wait_for "$work/tavrick.out" "→ đang nghe $port_name"
expected_start="Đang chạy (421 ô ánh xạ, cổng $port). Fn = giữ, Custom Mode = bật/tắt."
# The poller's own line about its connection may come anywhere around these two.
start_line=$(grep -nxF -- "$expected_start" "$work/tavrick.out" | cut -d: -f1)
open_line=$(grep -nxF -- "→ đang nghe $port_name" "$work/tavrick.out" | cut -d: -f1)
[ -n "$start_line" ] || fail "start-up line"
[ "$start_line" -lt "$open_line" ] || fail "the surface was opened before the start-up line"
! grep -qF "… chờ Loupedeck+" "$work/tavrick.out" || fail "absence line with the surface present"

# ports lists the one MIDI output of the JACK graph; watch hears the surface beside the bridge.
"$TAVRICK" ports >"$work/ports.out" 2>"$work/ports.err" 3>&- || fail "ports exit code $?"
[ "$(cat "$work/ports.out")" = "$port_name" ] || fail "ports output"
"$TAVRICK" watch --source loupedeck >"$work/watch.out" 2>"$work/watch.err" 3>&- &
pids+=($!)
wait_for "$work/watch.out" "Đang xem thiết bị. Xoay núm / bấm nút. Ctrl+C để thoát."

# One detent of the Exposure knob, once the editing view has been polled.
wait_for "$work/sim.out" '"ui.inspect"'
echo "wait-connected" >&3
echo "b0 21 01" >&3
wait_for "$work/sim.out" '"develop.endInteraction"'
expected_turn='{"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}}
{"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}}
{"method":"engine.execute","params":{"command":"develop.endInteraction"}}'
[ "$(requests)" = "$expected_turn" ] || fail "requests of one turn: $(requests)"
wait_for "$work/watch.out" "NÚM  CC 33 Exposure  delta +1"

# Unplugging: the surface's port goes away with its program.
exec 3>&-
wait "$surface_pid" || fail "virtual surface exit code $?"
wait_for "$work/tavrick.out" "… Loupedeck+ đã rút ra; chờ cắm lại"
start_surface 2
wait_for "$work/tavrick.out" "→ đang nghe $port_name" 2
echo "wait-connected" >&3
echo "b0 21 7f" >&3
wait_for "$work/sim.out" '"delta":-0.05'

# A second bridge is refused while the first one runs.
status=0
timeout 20 "$TAVRICK" run --port "$port" --no-env >"$work/second.out" 2>"$work/second.err" 3>&- || status=$?
[ "$status" = 1 ] || fail "second run exit code $status"
[ "$(cat "$work/second.err")" = "✗ driver Loupedeck đã đang chạy (chỉ được một bản)" ] ||
  fail "second run message"

# A burst of turns arrives whole and in order: deltas 1, 2, 4, -1, -2, -4 over and over.
wait_for "$work/sim.out" '"develop.endInteraction"' 2
burst=3000
values=(01 02 04 7f 7e 7c)
deltas=(0.05 0.1 0.2 -0.05 -0.1 -0.2)
: >"$work/burst.expected"
for ((i = 0; i < burst; i++)); do
  echo "b0 21 ${values[i % 6]}" >&3
  echo "${deltas[i % 6]}" >>"$work/burst.expected"
done
# Each turn is one develop.adjust (two came before the burst); a pause of the loaded machine may
# end the interaction in the middle, which changes nothing in the adjustments.
wait_for "$work/sim.out" '"develop.adjust"' $((burst + 2)) 120
requests | sed -n '/"develop.adjust"/s/.*"delta":\([-0-9.e]*\)}.*/\1/p' | tail -n "+3" \
  >"$work/burst.received"
cmp -s "$work/burst.expected" "$work/burst.received" ||
  fail "burst: $(wc -l <"$work/burst.received") of $burst turns, first difference: \
$(diff "$work/burst.expected" "$work/burst.received" | sed -n 2p)"

# The libraries stayed quiet and the bridge kept running.
[ ! -s "$work/tavrick.err" ] || fail "tavrick wrote to standard error"
kill -0 "$tavrick_pid" 2>/dev/null || fail "tavrick run ended"
echo "PASS"
