#!/usr/bin/env bash
# The Windows bridge end to end under Wine, with the WinMM stand-in as the MIDI service and the
# simulated editing application: the agent's start-up in its log file; then `tavrick.exe run`
# with two ports of the surface (names in different letter case) beside a foreign device: one
# knob turn as requests, a held arrow's repeats, a burst of 3,000 turns in order,
# system-exclusive and real-time messages among turns, unplugging, plugging in again after
# other devices took the numbers, a close in the middle of a system-exclusive message, a second
# bridge refused and `watch` refused beside it.
# Environment: TAVRICK, TAVRICK_AGENT, SORVIC_SIM, WINE_RUN, WINMM_STANDIN, WINMM_STANDIN_DLL.
set -euo pipefail
: "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${SORVIC_SIM:?}" "${WINE_RUN:?}" "${WINMM_STANDIN:?}" \
  "${WINMM_STANDIN_DLL:?}"

work=$(mktemp -d)

source "$(dirname "$0")/support.sh"
source "$(dirname "$0")/standin.sh"

text() { tr -d '\r' <"$1"; }
# heard TEXT COMMAND…: sends the commands to the stand-in and waits for one more request line
# containing TEXT (an interaction ends 600 ms after its last turn).
heard() {
  local text=$1 before
  shift
  before=$(grep -cF -- "$text" "$work/sim.out" || true)
  standin "$@"
  wait_for "$work/sim.out" "$text" $((before + 1)) 60
}
start_simulator
start_standin
# A device that does not match, then the surface's two ports: the bridge opens both, in
# device order.
standin 'plug kb \\?\usb#vid_0a01&pid_0001#kb Other Keyboard' \
  'plug lpu \\?\usb#vid_2952&pid_0003&mi_01#lpu LOUPEDECK+ (Ctrl)' \
  'plug lp \\?\usb#vid_2952&pid_0003&mi_00#lp Loupedeck+'
started_line="Đang chạy (421 ô ánh xạ, cổng $port). Fn = giữ, Custom Mode = bật/tắt."
listening="→ đang nghe LOUPEDECK+ (Ctrl)
→ đang nghe Loupedeck+"
expected_turn='{"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}}
{"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}}
{"method":"engine.execute","params":{"command":"develop.endInteraction"}}'
# The link's own lines about its connection may come anywhere among the bridge's.
bridge_lines() { grep -vE "^(→ đã nối|… chưa nối được) Orvalen Sorvic" || true; }

# The agent: its log file (in the prefix's data folder) gets the start-up line and both
# listening lines, all stamped within the same second or the next.
"$WINE_RUN" cmd /c 'echo %LOCALAPPDATA%' </dev/null >"$work/env.out" 2>"$work/env.err"
log=$("$WINE_RUN" winepath -u "$(text "$work/env.out")\\Orvalen Sorvic\\loupedeck.log" 2>/dev/null)
log_size() { stat -c %s "$log" 2>/dev/null || echo 0; }
agent_log() { tail -c "+$((log_offset + 1))" "$log" 2>/dev/null | tr -d '\r' || true; }
for ((attempt = 0; ; attempt++)); do
  log_offset=$(log_size)
  start_win agent tavrick-agent.exe --no-env --port "$port"
  agent_pid=$win_pid
  for ((i = 0; i < 300; i++)); do
    # The agent empties a log file that has grown too large before its first line.
    [ "$(log_size)" -ge "$log_offset" ] || log_offset=0
    [ "$(agent_log | grep -c 'đang nghe')" -lt 2 ] || break 2
    kill -0 "$agent_pid" 2>/dev/null || break
    sleep 0.1
  done
  # Another bridge of this prefix holds the lock: the agent stepped aside; try again.
  agent_log | grep -F "bản này thoát" >/dev/null && [ "$attempt" -lt 120 ] || fail "agent: $(agent_log)"
  sleep 1
done
[ "$(agent_log | sed 's/^[0-9]* //' | bridge_lines)" = "$started_line
$listening" ] || fail "agent log: $(agent_log)"
stamps=$(agent_log | bridge_lines | cut -d' ' -f1 | sort -u)
(($(echo "$stamps" | tail -n 1) - $(echo "$stamps" | head -n 1) <= 1)) ||
  fail "agent lines not in the same second: $stamps"
# A turn through the agent, once the editing view has been polled.
wait_for "$work/sim.out" '"ui.inspect"'
sim_before=$(sim_lines)
heard '"develop.endInteraction"' 'play lp b0 21 01'
[ "$(sim_requests "$sim_before")" = "$expected_turn" ] || fail "agent turn: $(sim_requests "$sim_before")"
stop_win "$agent_pid"
wait_for "$work/standin.out" "released: process" 2

# The console bridge: the same lines on its standard output, and no absence line.
sim_before=$(sim_lines)
start_bridge run --no-env --port "$port"
run_pid=$win_pid
wait_for "$work/run.out" "đang nghe" 2
[ "$(text "$work/run.out" | bridge_lines)" = "$started_line
$listening" ] || fail "run output: $(text "$work/run.out")"
lp=$(handle_of lp)
lpu=$(handle_of lpu)

# One detent of the Exposure knob, once the editing view has been polled.
wait_for "$work/sim.out" '"ui.inspect"' $(($(grep -c '"ui.inspect"' "$work/sim.out") + 1))
sim_before=$(sim_lines)
heard '"develop.endInteraction"' 'play lp b0 21 01'
[ "$(sim_requests "$sim_before")" = "$expected_turn" ] || fail "one turn: $(sim_requests "$sim_before")"
# The other port is heard too.
heard '"develop.endInteraction"' 'play lpu b0 21 7f'
grep -qF '"delta":-0.05' "$work/sim.out" || fail "turn on the second port"

# A held arrow (↑, note 76, ui.key up in the loupe view) repeats until its release.
sim_before=$(sim_lines)
key_up='{"method":"ui.key","params":{"key":"up"}}'
keys_before=$(grep -c '"ui.key"' "$work/sim.out" || true)
standin 'play lp 90 4c 7f'
wait_for "$work/run.out" "giữ ↑ "
wait_for "$work/sim.out" '"ui.key"' $((keys_before + 4))
standin 'play lp 80 4c 40'
wait_for "$work/run.out" "nhả ↑ sau "
grep -qE "^giữ ↑ [0-9]+ ms chưa nhả → lặp"$'\r?$' "$work/run.out" || fail "first repeat line"
repeats=$(text "$work/run.out" | sed -n 's/^nhả ↑ sau [0-9]* ms (lặp \([0-9]*\) lần)$/\1/p')
[ -n "$repeats" ] && [ "$repeats" -ge 3 ] || fail "release line: $(text "$work/run.out" | tail -n 2)"
# Every repeat was sent before the release was handled, and none after it.
wait_for "$work/sim.out" '"ui.key"' $((keys_before + repeats + 1))
[ "$(sim_requests "$sim_before")" = "$(for ((i = 0; i <= repeats; i++)); do echo "$key_up"; done)" ] ||
  fail "held arrow: $(sim_requests "$sim_before")"

# System-exclusive messages (one short, one over two 1024-byte buffers) and one-byte real-time
# messages among turns: only the turns arrive, each buffer that came back is queued again, and
# nothing is written to standard error.
sim_before=$(sim_lines)
record_before=$(record_lines)
long_sysex="f0"
for ((i = 0; i < 1500; i++)); do
  long_sysex+=$(printf ' %02x' $((i % 128)))
done
long_sysex+=" f7"
heard '"develop.endInteraction"' 'play lp b0 21 01' 'play lp f0 7e 7f 06 01 f7' 'play lp f8' \
  'play lp b0 21 02' "play lp $long_sysex" 'play lp fe' 'play lp b0 21 04'
deltas=$(sim_requests "$sim_before" | sed -n 's/.*"delta":\([-0-9.]*\)}.*/\1/p' | tr '\n' ' ')
[ "$deltas" = "0.05 0.1 0.2 " ] || fail "turns among other messages: $deltas"
! sim_requests "$sim_before" | grep -vE 'develop\.(beginInteraction|adjust|endInteraction)' >/dev/null ||
  fail "other requests: $(sim_requests "$sim_before")"
returned=$(record_since "$record_before" |
  grep -cE "^$lp MIM_LONGDATA buffer [0-3] with [1-9]" || true)
requeued=$(record_since "$record_before" |
  grep -cE "^$lp midiInAddBuffer buffer [0-3] → MMSYSERR_NOERROR \(4 queued\)$" || true)
[ "$returned" = 3 ] && [ "$requeued" = 3 ] || fail "buffers back: $returned, queued again: $requeued"
record_since "$record_before" | grep "^$lp MIM_DATA f8 " >/dev/null || fail "the clock byte was not played"

# A burst of turns arrives whole and in order: deltas 1, 2, 4, -1, -2, -4 over and over.
sim_before=$(sim_lines)
burst=3000
values=(01 02 04 7f 7e 7c)
deltas=(0.05 0.1 0.2 -0.05 -0.1 -0.2)
: >"$work/burst.expected"
: >"$work/burst.commands"
for ((i = 0; i < burst; i++)); do
  echo "play lp b0 21 ${values[i % 6]}" >>"$work/burst.commands"
  echo "${deltas[i % 6]}" >>"$work/burst.expected"
done
mapfile -t burst_commands <"$work/burst.commands"
heard '"develop.endInteraction"' "${burst_commands[@]}"
sim_requests "$sim_before" | sed -n 's/.*"delta":\([-0-9.e]*\)}.*/\1/p' >"$work/burst.received"
cmp -s "$work/burst.expected" "$work/burst.received" ||
  fail "burst: $(wc -l <"$work/burst.received") of $burst turns, first difference: \
$(diff "$work/burst.expected" "$work/burst.received" | sed -n 2p)"

# Unplugging both ports, right after a pass began, so that only the unplug brings the next one:
# the unplug line within 3.5 s, noticed by the first pass after it, both handles closed in order
# and never used again, and no absence line.
after_pass
record_before=$(record_lines)
standin 'unplug lp' 'unplug lpu'
took=$(wait_within "$work/run.out" "… Loupedeck+ đã rút ra; chờ cắm lại" 1 3500)
# The listings from the unplug up to the first one after both closes: 1 when the pass that found
# the handles dead closed them and then listed (2 when a pass went by first). Empty until the
# record holds that listing: the line is said before the handles are closed. (awk reads to the
# end: a reader that stopped early could end the writer with SIGPIPE, which would fail the run.)
noticing_listings() {
  record_since "$record_before" | awk -v a="$lp" -v b="$lpu" '
    $0 == "> unplug lp" { on = 1 }
    !on { next }
    / midiInGetNumDevs → / && !told { n++; if (closed == 2) { print n; told = 1 } }
    ($1 == a || $1 == b) && $2 == "midiInClose" { closed++ }'
}
for ((i = 0; i < 150; i++)); do
  listings=$(noticing_listings)
  [ -z "$listings" ] || break
  sleep 0.1
done
[ "$listings" = 1 ] || fail "the unplug was not noticed by the first pass after it \
(listings up to the one after the closes: ${listings:-no such listing})"
expect_closed "$lp"
expect_closed "$lpu"
! grep -qF "… chờ Loupedeck+" "$work/run.out" || fail "absence line after unplugging"

# Plugged in again after two other devices took the numbers: found by its name and path, heard.
standin 'plug f1 \\?\usb#vid_0b02&pid_0002#f1 Foreign Synth' 'plug f2 \\?\usb#vid_0b02&pid_0003#f2 Foreign Pad'
standin 'plug lp \\?\usb#vid_2952&pid_0003&mi_00#lp Loupedeck+'
wait_for "$work/run.out" "→ đang nghe Loupedeck+" 2
grep -qE "midiInOpen 3 \(lp\) → MMSYSERR_NOERROR" "$work/standin.out" || fail "opened by number 3"
lp=$(handle_of lp)
heard '"delta":0.05' 'play lp b0 21 01'

# Unplugged in the middle of a system-exclusive message: the reset hands back the partly filled
# buffer with its bytes; the close neither hangs nor queues it again; the bridge opens the port
# again when it comes back.
standin 'play lp f0 7e 00 01 02'
wait_for "$work/standin.out" "$lp played 5 bytes"
standin 'unplug lp'
wait_for "$work/run.out" "… Loupedeck+ đã rút ra; chờ cắm lại" 2
expect_closed "$lp"
grep -qx "$lp MIM_LONGDATA buffer 0 with 5 bytes (from midiInReset)" "$work/standin.out" || fail "partly filled buffer"
standin 'plug lp \\?\usb#vid_2952&pid_0003&mi_00#lp Loupedeck+'
wait_for "$work/run.out" "→ đang nghe Loupedeck+" 3
heard '"delta":0.1' 'play lp b0 21 02'

# A second bridge is refused while this one runs; so is `watch`, which cannot open the port
# that the bridge holds.
run_win second tavrick.exe run --no-env --port "$port"
[ "$status" = 1 ] || fail "second run exit code $status"
[ "$(text "$work/second.err")" = "✗ driver Loupedeck đã đang chạy (chỉ được một bản)" ] ||
  fail "second run message: $(text "$work/second.err")"
run_win watch tavrick.exe watch
[ "$status" = 1 ] || fail "watch beside run: exit code $status"
[ "$(text "$work/watch.err")" = "✗ Loupedeck+: could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)" ] ||
  fail "watch beside run: $(text "$work/watch.err")"

# The bridge kept running and stayed quiet; the stand-in saw nothing a sound program never does.
[ ! -s "$work/run.err" ] || fail "tavrick wrote to standard error: $(text "$work/run.err")"
kill -0 "$run_pid" 2>/dev/null || fail "tavrick run ended"
expect_sound_record
echo "PASS (unplug line after $took ms)"
