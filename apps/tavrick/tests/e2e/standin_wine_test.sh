#!/usr/bin/env bash
# The WinMM stand-in itself, under Wine: a program that calls the WinMM functions directly
# checks the documented behaviour the other Windows tests rely on (listing and its shifting
# numbers, one holder per device, callbacks on a service thread, buffers filled and handed back
# by input, stop and reset, refusals while buffers are queued, a closed handle invalid, a device
# replugged under its name and path at another number, what a handle on a removed device gets on
# the classic stack and on the MIDI Services), and the record names the calls it made on the
# closed handles.
# Environment: WINE_RUN, WINMM_STANDIN, WINMM_STANDIN_DLL, WINMM_STANDIN_CHECK, TAVRICK,
# TAVRICK_AGENT.
set -euo pipefail
: "${WINE_RUN:?}" "${WINMM_STANDIN:?}" "${WINMM_STANDIN_DLL:?}" "${WINMM_STANDIN_CHECK:?}"

work=$(mktemp -d)

source "$(dirname "$0")/support.sh"
source "$(dirname "$0")/standin.sh"

start_standin
cp "$WINMM_STANDIN_CHECK" "$win_dir/winmm_standin_check.exe"
standin 'plug a \\?\check#a Check A' 'plug b \\?\check#b Check B'
start_win check winmm_standin_check.exe
check_pid=$win_pid
seventy=""
for ((i = 0; i < 70; i++)); do
  seventy+=$(printf ' %02x' $((i + 16)))
done
# What the program asks for at each of its steps: the step's name, then its commands.
steps=(
  "play1|play a b0 21 01 f0 01 02 03"
  "play2|play a f0$seventy f7"
  "play3|play a f0 05 f7 f8"
  "play4|play a f0 11 22 f8"
  "unplug|unplug a"
  "plug_c|plug c \\\\?\\check#c Check C"
  "replug_classic|replug b"
  "replug_services|stack services|replug b"
  "replug_later|replug c 300"
)
for entry in "${steps[@]}"; do
  IFS='|' read -r -a step <<<"$entry"
  wait_for "$work/check.out" "step ${step[0]}"
  standin "${step[@]:1}"
done
wait_for "$work/check.out" "ok" 1 60
status=0
wait "$check_pid" || status=$?
[ "$status" = 0 ] || fail "check exit code $status"
wait_for_ends 1
[ "$(grep -c "call on closed handle" "$work/standin.out")" = 2 ] &&
  grep -q "^h1 call on closed handle: midiInStart → MMSYSERR_INVALHANDLE$" "$work/standin.out" &&
  grep -q "^h5 call on closed handle: midiInStart → MMSYSERR_INVALHANDLE$" "$work/standin.out" ||
  fail "the calls on the closed handles are not in the record"
# The removals as the record tells them: on the classic stack, MIM_CLOSE at once and none at the
# close; on the MIDI Services, calls refused and nothing called back.
for line in "h3 lost its device (classic stack): MIM_CLOSE follows" "h3 MIM_CLOSE (device removed)" \
  "h5 lost its device (MIDI Services): silent, every call but midiInClose fails" \
  "h5 midiInStart → MMSYSERR_NODRIVER (device gone)" \
  "h5 midiInClose of a silent handle (1 queued)" "c plugged in again"; do
  grep -qxF -- "$line" "$work/standin.out" || fail "not in the record: $line"
done
[ "$(grep -c "^h3 MIM_CLOSE" "$work/standin.out")" = 1 ] || fail "h3 got MIM_CLOSE twice"
! grep -q "^h5 MIM_CLOSE" "$work/standin.out" || fail "a silent handle got MIM_CLOSE: $(grep -E "^h[35] " "$work/standin.out")"
echo "PASS"
