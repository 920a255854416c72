#!/usr/bin/env bash
# The Windows bridge under Wine never stays deaf when the surface comes back before a pass could
# see it gone, with the WinMM stand-in as the MIDI service: replugged within one pass (classic
# stack: MIM_CLOSE), removed and back within 200 ms, and replugged on the Windows MIDI Services
# (a handle that still lists but answers MMSYSERR_NODRIVER). Each time: one unplug line, one
# listening line, the old handle closed, every turn after it arriving, and the surface heard again
# before the next 3 s pass would have come (the time is printed). Then an unplug that lasts longer
# than a pass behaves as before, only told sooner.
# Environment: TAVRICK, TAVRICK_AGENT, SORVIC_SIM, WINE_RUN, WINMM_STANDIN, WINMM_STANDIN_DLL.
set -euo pipefail
: "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${SORVIC_SIM:?}" "${WINE_RUN:?}" "${WINMM_STANDIN:?}" \
  "${WINMM_STANDIN_DLL:?}"

work=$(mktemp -d)

source "$(dirname "$0")/support.sh"
source "$(dirname "$0")/standin.sh"

unplugged="… Loupedeck+ đã rút ra; chờ cắm lại"
listening="→ đang nghe Loupedeck+"
# The surface is heard again before the next regular pass would have come, with room for a
# loaded machine: the wake-ups bring it within about 0.5 s, a regular pass 3 s after the last one.
bound_ms=2500
# The link's own lines about its connection may come anywhere among the bridge's.
bridge_lines() { tr -d '\r' | grep -vE "^(→ đã nối|… chưa nối được) Orvalen Sorvic" || true; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# turns_arrive: a burst of turns on the surface reaches the editing application whole and in
# order.
turns_arrive() {
  local before values=(01 02 04 7f 7e 7c) expected="" commands=() i
  for ((i = 0; i < 24; i++)); do
    commands+=("play lp b0 21 ${values[i % 6]}")
  done
  expected=$(printf '%s\n' 0.05 0.1 0.2 -0.05 -0.1 -0.2 0.05 0.1 0.2 -0.05 -0.1 -0.2 \
    0.05 0.1 0.2 -0.05 -0.1 -0.2 0.05 0.1 0.2 -0.05 -0.1 -0.2)
  before=$(sim_lines)
  local ends
  ends=$(grep -c '"develop.endInteraction"' "$work/sim.out" || true)
  standin "${commands[@]}"
  wait_for "$work/sim.out" '"develop.endInteraction"' $((ends + 1)) 60
  [ "$(sim_requests "$before" | sed -n 's/.*"delta":\([-0-9.e]*\)}.*/\1/p')" = "$expected" ] ||
    fail "turns after the return: $(sim_requests "$before")"
}

# heard_again NAME SINCE_LINES START_MS: waits for the listening line after line SINCE_LINES of
# the bridge's output; the bridge said exactly the unplug line and the listening line meanwhile,
# within bound_ms of START_MS. Prints the time and sets $old (the handle before) and $lp (after).
heard_again() {
  local name=$1 since=$2 start=$3 took
  for (( ; ; )); do
    [ "$(tail -n "+$((since + 1))" "$work/run.out" | bridge_lines | grep -cxF "$listening")" -lt 1 ] ||
      break
    (($(now_ms) - start < 15000)) || fail "$name: not heard again"
    sleep 0.02
  done
  took=$(($(now_ms) - start))
  [ "$(tail -n "+$((since + 1))" "$work/run.out" | bridge_lines)" = "$unplugged
$listening" ] || fail "$name: $(tail -n "+$((since + 1))" "$work/run.out")"
  ((took <= bound_ms)) || fail "$name: heard again after $took ms, not before the next pass"
  lp=$(handle_of lp)
  [ "$lp" != "$old" ] || fail "$name: not opened again"
  echo "$name: heard again after $took ms"
}

# replugged NAME RETURN COMMAND…: right after a pass, sends the commands; then the surface is heard
# again (heard_again), counted from the commands or, when RETURN is not empty, from the moment
# that record line shows the surface back.
replugged() {
  local name=$1 back=$2 since start
  shift 2
  old=$lp
  after_pass
  since=$(wc -l <"$work/run.out")
  start=$(now_ms)
  standin "$@"
  if [ -n "$back" ]; then
    wait_for "$work/standin.out" "$back"
    start=$(now_ms)
  fi
  heard_again "$name" "$since" "$start"
}

start_simulator
start_standin
# The surface first, then a foreign device: a replugged surface comes back at another number.
standin 'plug lp \\?\usb#vid_2952&pid_0003&mi_00#lp Loupedeck+' \
  'plug kb \\?\usb#vid_0a01&pid_0001#kb Other Keyboard'
start_bridge run --no-env --port "$port"
run_pid=$win_pid
wait_for "$work/run.out" "$listening"
lp=$(handle_of lp)
wait_for "$work/sim.out" '"ui.inspect"'
turns_arrive

# Replugged within one pass on the classic stack: the old handle gets MIM_CLOSE.
replugged "replugged within a pass" "" 'replug lp'
grep -qE "midiInOpen 1 \(lp\) → MMSYSERR_NOERROR $lp$" "$work/standin.out" || fail "not at number 1"
expect_closed "$old"
turns_arrive

# Removed and back 150 ms later: measured from its return.
replugged "removed and back within 200 ms" "lp plugged in again" 'replug lp 150'
expect_closed "$old"
turns_arrive

# The Windows MIDI Services: the old handle still lists, is silent and answers
# MMSYSERR_NODRIVER; only the bridge's own check of it can tell.
standin 'stack services'
replugged "a dead handle that still lists" "" 'replug lp'
grep -qxF "$old midiInStart → MMSYSERR_NODRIVER (device gone)" "$work/standin.out" ||
  fail "the dead handle was not found by its check"
grep -qxF "$old midiInClose of a silent handle (4 queued)" "$work/standin.out" ||
  fail "the dead handle was not closed"
turns_arrive

# An unplug longer than a pass: the unplug line once (told as soon as the service's word and the
# list agree), no absence line, and the surface opened again by a later pass.
standin 'stack classic'
old=$lp
since=$(wc -l <"$work/run.out")
start=$(now_ms)
standin 'unplug lp'
wait_for "$work/run.out" "$unplugged" 4
echo "unplug told after $(($(now_ms) - start)) ms (a pass without wake-ups: up to 3000 ms)"
expect_closed "$old"
standin 'plug lp \\?\usb#vid_2952&pid_0003&mi_00#lp Loupedeck+'
wait_for "$work/run.out" "$listening" 5
[ "$(tail -n "+$((since + 1))" "$work/run.out" | bridge_lines)" = "$unplugged
$listening" ] || fail "long unplug: $(tail -n "+$((since + 1))" "$work/run.out")"
! grep -qF "… chờ Loupedeck+" "$work/run.out" || fail "absence line"
turns_arrive

[ ! -s "$work/run.err" ] || fail "tavrick wrote to standard error: $(tr -d '\r' <"$work/run.err")"
kill -0 "$run_pid" 2>/dev/null || fail "tavrick run ended"
expect_sound_record
echo "PASS"
