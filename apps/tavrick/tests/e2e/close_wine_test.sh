#!/usr/bin/env bash
# Closing a WinMM port while messages keep arriving, under Wine with the WinMM stand-in: a test
# program opens and closes a port through the bridge's WinMM backend hundreds of times while the
# device sends turns, real-time bytes and system-exclusive messages, one of them unfinished at
# the end of each round, so that most closes find a partly filled buffer. Every close finishes
# (no hang), with every call succeeding, nothing is delivered or queued again once a close has
# begun, and no handle is used after it was closed. Then a close whose reset and stop fail (as
# on a device that is gone): midiInClose refuses, the program survives the stand-in's calls on
# the handle that stays open, and delivers nothing more.
# Environment: WINE_RUN, WINMM_STANDIN, WINMM_STANDIN_DLL, WINMM_CLOSE_STRESS, TAVRICK,
# TAVRICK_AGENT.
set -euo pipefail
: "${WINE_RUN:?}" "${WINMM_STANDIN:?}" "${WINMM_STANDIN_DLL:?}" "${WINMM_CLOSE_STRESS:?}"

work=$(mktemp -d)

source "$(dirname "$0")/support.sh"
source "$(dirname "$0")/standin.sh"

count() { grep -cE -- "$1" "$work/standin.out" || true; }

start_standin
cp "$WINMM_CLOSE_STRESS" "$win_dir/winmm_close_stress.exe"
standin 'plug st \\?\usb#vid_0c03&pid_0001#st Stress Port'
# Each millisecond: a turn, a short system-exclusive message, a clock byte and the start of a
# message that the next round's first status byte cuts short.
standin 'repeat st b0 21 01 f0 7e 00 06 01 f7 f8 f0 7e 01 02 03'

cycles=300
start_win stress winmm_close_stress.exe "$cycles"
stress_pid=$win_pid
wait_for "$work/stress.out" "done $cycles" 1 300
wait "$stress_pid" || fail "stress program exit code $?"
wait_for_ends 1
[ ! -s "$work/stress.err" ] || fail "stress program wrote to standard error"
for call in "midiInReset → MMSYSERR_NOERROR" "midiInStop → MMSYSERR_NOERROR" "MIM_CLOSE$" \
  "midiInClose → MMSYSERR_NOERROR"; do
  [ "$(count " $call")" = "$cycles" ] || fail "$(count " $call") × $call for $cycles closes"
done
[ "$(count " midiInUnprepareHeader buffer [0-3] → MMSYSERR_NOERROR$")" = $((4 * cycles)) ] ||
  fail "not every buffer was unprepared"
partial=$(count " MIM_LONGDATA buffer [0-3] with [1-9][0-9]* bytes \(from midiInReset\)$")
[ "$partial" -gt 0 ] || fail "no close found a partly filled buffer"
[ "$(count " delivery$")" -ge "$cycles" ] || fail "deliveries were not reported"
expect_sound_record
! grep -q "delivery during" "$work/standin.out" || fail "delivered while closing"

# A close whose reset and stop fail, as on a device that is gone: with only turns arriving, the
# four buffers stay queued, so each unprepare and the close itself are refused
# (MIDIERR_STILLPLAYING) and the input goes on. What comes then, a system-exclusive message into
# a buffer the system still holds included, is neither delivered nor queued again, and the
# program survives it.
standin 'repeat st b0 21 01' 'fail st midiInReset MMSYSERR_NODRIVER 1' \
  'fail st midiInStop MMSYSERR_NODRIVER 1'
start_win leak winmm_close_stress.exe once
wait_for "$work/leak.out" "closed"
leaked=$(handle_of st)
warning="Warning: Ignoring error shutting down Windows MM input port (UnprepareHeader)."
[ "$(tr -d '\r' <"$work/leak.err")" = "$(printf '%s\n' "$warning" "$warning" "$warning" "$warning")" ] ||
  fail "warnings: $(cat "$work/leak.err")"
standin 'play st f0 7e 00 01 f7'
wait_for "$work/standin.out" "$leaked callback after midiInClose returned: MIM_LONGDATA"
# Checked only now: the refused close reaches the record without a reply, so the program may say
# "closed" before the record has it; the callback's line came later from the same process.
grep -qx "$leaked midiInClose → MIDIERR_STILLPLAYING (4 queued)" "$work/standin.out" ||
  fail "the close was not refused"
after_close=$(sed -n "/^$leaked midiInClose → MIDIERR_STILLPLAYING/,\$p" "$work/standin.out" |
  tail -n +2 | grep -E "^$leaked (delivery|midiIn)" || true)
[ -z "$after_close" ] || fail "used after the refused close: $after_close"
kill -0 "$win_pid" 2>/dev/null || fail "the program ended after the refused close"
echo "PASS ($partial of $cycles closes with a partly filled buffer)"
