#!/usr/bin/env bash
# The WinMM stand-in itself, under Wine: a program that calls the WinMM functions directly
# checks the documented behaviour the other Windows tests rely on (listing and its shifting
# numbers, one holder per device, callbacks on a service thread, buffers filled and handed back
# by input, stop and reset, refusals while buffers are queued, a closed handle invalid), and the
# record names the call it made on the closed handle.
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
# What the program asks for at each of its steps.
steps=(
  "play1|play a b0 21 01 f0 01 02 03"
  "play2|play a f0$seventy f7"
  "play3|play a f0 05 f7 f8"
  "play4|play a f0 11 22 f8"
  "unplug|unplug a"
)
for entry in "${steps[@]}"; do
  wait_for "$work/check.out" "step ${entry%%|*}"
  standin "${entry#*|}"
done
wait_for "$work/check.out" "ok" 1 60
status=0
wait "$check_pid" || status=$?
[ "$status" = 0 ] || fail "check exit code $status"
[ "$(grep -c "call on closed handle" "$work/standin.out")" = 1 ] &&
  grep -q "^h1 call on closed handle: midiInStart → MMSYSERR_INVALHANDLE$" "$work/standin.out" ||
  fail "the call on the closed handle is not in the record"
echo "PASS"
