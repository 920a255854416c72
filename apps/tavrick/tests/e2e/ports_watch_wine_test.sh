#!/usr/bin/env bash
# `ports` and `watch` of the Windows program under Wine, with the WinMM stand-in: no device; then
# several devices, in device order, those whose capability or interface queries fail left out,
# a name with an unpaired surrogate shown with U+FFFD; `watch` with the surface: its lines for
# turns, a press and a release; and `watch` on the port whose name has the unpaired surrogate,
# which is found again by that name.
# Environment: TAVRICK, TAVRICK_AGENT, WINE_RUN, WINMM_STANDIN, WINMM_STANDIN_DLL.
set -euo pipefail
: "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${WINE_RUN:?}" "${WINMM_STANDIN:?}" "${WINMM_STANDIN_DLL:?}"

work=$(mktemp -d)

source "$(dirname "$0")/support.sh"
source "$(dirname "$0")/standin.sh"

text() { tr -d '\r' <"$1"; }
start_standin

run_win ports tavrick.exe ports
[ "$status" = 0 ] || fail "ports without devices: exit code $status"
[ "$(text "$work/ports.out")" = "Không có cổng MIDI vào nào." ] || fail "ports without devices"

# Six devices; three of them cannot be described: each query fails for one.
standin 'plug caps \\?\usb#caps No Caps' 'plug lp \\?\usb#vid_2952&pid_0003#lp Loupedeck+' \
  'plug size \\?\usb#size No Size' 'plug vn \\?\usb#vn Bàn phím MIDI' \
  'plug path \\?\usb#path No Path' 'plug bad \\?\usb#bad Bad\ud800Name' \
  'fail caps midiInGetDevCapsW MMSYSERR_NODRIVER' \
  'fail size DRV_QUERYDEVICEINTERFACESIZE MMSYSERR_NODRIVER' \
  'fail path DRV_QUERYDEVICEINTERFACE MMSYSERR_NOMEM'
run_win ports tavrick.exe ports
[ "$status" = 0 ] || fail "ports: exit code $status"
[ "$(text "$work/ports.out")" = "Loupedeck+
Bàn phím MIDI
Bad"$'\xef\xbf\xbd'"Name" ] || fail "ports: $(text "$work/ports.out")"
[ ! -s "$work/ports.err" ] || fail "ports wrote to standard error"

# watch: the surface's turns, a press and a release, one line each, in arrival order.
start_win watch tavrick.exe watch
watch_pid=$win_pid
wait_for "$work/watch.out" "Đang xem thiết bị. Xoay núm / bấm nút. Ctrl+C để thoát."
standin 'play lp b0 21 01' 'play lp 90 21 7f' 'play lp 80 21 00' 'play lp b0 2b 7e'
wait_for "$work/watch.out" "NÚM  CC 43"
[ "$(text "$work/watch.out")" = "→ đang nghe Loupedeck+
Đang xem thiết bị. Xoay núm / bấm nút. Ctrl+C để thoát.

NÚM  CC 33 Exposure  delta +1
NÚT  note 33 Nhấn Exposure  ↓
NÚT  note 33 Nhấn Exposure  ↑
NÚM  CC 43   delta -2" ] || fail "watch output: $(text "$work/watch.out")"
stop_win "$watch_pid"
wait_for "$work/standin.out" "$(handle_of lp) released: process"

# The name with the unpaired surrogate is found again by the same name and path.
start_win watch_bad tavrick.exe watch --source bad
wait_for "$work/watch_bad.out" "Đang xem thiết bị."
[ "$(text "$work/watch_bad.out" | head -n 1)" = "→ đang nghe Bad"$'\xef\xbf\xbd'"Name" ] ||
  fail "watch --source bad: $(text "$work/watch_bad.out")"
[ ! -s "$work/watch.err" ] && [ ! -s "$work/watch_bad.err" ] || fail "watch wrote to standard error"
expect_sound_record
echo "PASS"
