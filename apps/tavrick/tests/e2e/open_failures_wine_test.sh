#!/usr/bin/env bash
# The Windows bridge under Wine when the surface's port cannot be opened, with the WinMM
# stand-in: every reason as "! {name}: {reason}", tried again on every pass of the supervisor
# (3 s) until the failure goes; when the second of two matching ports fails, the first one is
# opened and closed again; a device that vanishes between the bridge's listing and its opening
# ("invalid port", or no port left to match). Every handle that was opened is closed in the
# documented order, and nothing goes to standard error.
# Environment: TAVRICK, TAVRICK_AGENT, SORVIC_SIM, WINE_RUN, WINMM_STANDIN, WINMM_STANDIN_DLL.
set -euo pipefail
: "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${SORVIC_SIM:?}" "${WINE_RUN:?}" "${WINMM_STANDIN:?}" \
  "${WINMM_STANDIN_DLL:?}"

work=$(mktemp -d)

source "$(dirname "$0")/support.sh"
source "$(dirname "$0")/standin.sh"

count() { grep -cxF -- "$1" "$2" || true; }
start_simulator
start_standin

# Each failure, the function that fails and how, and the reason the bridge gives.
failures=(
  "midiInOpen MMSYSERR_ALLOCATED|could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)"
  "midiInOpen MMSYSERR_NOMEM|could not create Windows MM MIDI input port"
  "midiInPrepareHeader MMSYSERR_NOMEM|could not initialize Windows MM MIDI input port (PrepareHeader)"
  "midiInAddBuffer MMSYSERR_NOMEM|could not initialize Windows MM MIDI input port (AddBuffer)"
  "midiInStart MMSYSERR_ERROR|could not start Windows MM MIDI input port"
)
standin 'plug lp \\?\usb#vid_2952&pid_0003#lp Loupedeck+' \
  "fail lp ${failures[0]%%|*}"
start_bridge run --no-env --port "$port"
run_pid=$win_pid
previous=""
for failure in "${failures[@]}"; do
  call=${failure%%|*}
  line="! Loupedeck+: ${failure#*|}"
  # The next failure takes the place of the previous one between two passes.
  [ -z "$previous" ] || standin "fail lp ${previous%% *} off" "fail lp $call"
  before=$(count "$line" "$work/run.out")
  wait_for_line "$work/run.out" "$line" $((before + 1))
  # Tried again on the next pass, not before: the line comes once every 3 s. The bound leaves a
  # second for a pass that took longer than the next and for this script seeing a line late; a
  # retry at a connection check (0.5 s) or at a follow-up pass (1.5 s) still fails it.
  started=$(date +%s%N)
  wait_for_line "$work/run.out" "$line" $((before + 2))
  again=$((($(date +%s%N) - started) / 1000000))
  [ "$again" -ge 2000 ] || fail "$line again after $again ms"
  previous=$call
done
standin "fail lp ${previous%% *} off"
wait_for "$work/run.out" "→ đang nghe Loupedeck+"
standin 'unplug lp'
wait_for "$work/run.out" "… Loupedeck+ đã rút ra; chờ cắm lại"

# Two matching ports, the second held by another program: the first is opened, then closed
# again, on every pass.
standin 'fail lpb midiInOpen MMSYSERR_ALLOCATED' \
  'plug lpa \\?\usb#vid_2952&pid_0003&mi_00#lpa Loupedeck+ A' \
  'plug lpb \\?\usb#vid_2952&pid_0003&mi_01#lpb Loupedeck+ B'
line="! Loupedeck+ B: could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)"
wait_for_line "$work/run.out" "$line" 2
wait_for "$work/standin.out" "midiInOpen 1 (lpb) → MMSYSERR_ALLOCATED" 2
[ "$(grep -B1 -xF "$line" "$work/run.out" | head -n 1)" = "→ đang nghe Loupedeck+ A" ] ||
  fail "first port before the failure: $(tail -n 3 "$work/run.out")"
expect_closed "$(handle_of lpa)"
standin 'unplug lpa' 'unplug lpb'

# A device that vanishes after the bridge's first listing of a pass leaves no port to match; one
# that vanishes after its second, just before the port is opened, is an invalid port. Each is
# counted from the next pass on, whose first listing sees it: a pass lists once while nothing
# matches.
standin 'plug-for 1 lp \\?\usb#vid_2952&pid_0003#lp Loupedeck+'
wait_for "$work/run.out" '! không thấy thiết bị MIDI tên chứa "loupedeck". Loupedeck+ đã cắm chưa? Nếu phần mềm Loupedeck của hãng đang chạy thì tắt nó (nó chiếm thiết bị). Xem tên các cổng: tavrick ports'
standin 'plug-for 2 lp \\?\usb#vid_2952&pid_0003#lp Loupedeck+'
wait_for "$work/run.out" "! Loupedeck+: invalid port"

# Every handle that was opened was closed again, each call succeeding; nothing was refused.
opened=$(grep -c "midiInOpen [0-9]* ([a-z]*) → MMSYSERR_NOERROR" "$work/standin.out" || true)
closed=$(grep -c " midiInClose → MMSYSERR_NOERROR$" "$work/standin.out" || true)
[ "$opened" = "$closed" ] || fail "$opened handles opened, $closed closed"
! grep -E " (midiInReset|midiInStop|midiInUnprepareHeader buffer [0-3]|midiInClose) → " \
  "$work/standin.out" | grep -v "→ MMSYSERR_NOERROR" || fail "a closing call failed"
[ ! -s "$work/run.err" ] || fail "tavrick wrote to standard error: $(cat "$work/run.err")"
kill -0 "$run_pid" 2>/dev/null || fail "tavrick run ended"
expect_sound_record
echo "PASS ($opened handles opened and closed)"
