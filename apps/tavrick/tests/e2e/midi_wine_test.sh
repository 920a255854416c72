#!/usr/bin/env bash
# The Windows programs without any MIDI device (Wine has none here): `ports` says so, and `run`
# starts, then reports that the surface is missing and keeps waiting.
# Environment: WINE_RUN (the Wine runner), BUILD_DIR (the Windows build folder), WINEPREFIX.
set -euo pipefail
: "${WINE_RUN:?}" "${BUILD_DIR:?}"
exe="$BUILD_DIR/apps/tavrick/tavrick.exe"

work=$(mktemp -d)
run_pid=""
cleanup() {
  if [ -n "$run_pid" ]; then
    kill "$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/support.sh"

# Wine's helper processes keep inherited pipes open: output goes to files.
status=0
"$WINE_RUN" "$exe" ports >"$work/ports.out" 2>"$work/ports.err" || status=$?
[ "$status" = 0 ] || fail "ports exit code $status"
[ "$(cat "$work/ports.out")" = "Không có cổng MIDI vào nào." ] || fail "ports output"

# The lock file lives in the prefix's own data folder (Wine sets LOCALAPPDATA itself), so a
# bridge of another test in the same prefix refuses this one for a while: wait for its end.
# Nothing listens on the port: the link's notices about that are left out of the comparison.
expected='Đang chạy (421 ô ánh xạ, cổng 7999). Fn = giữ, Custom Mode = bật/tắt.
… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa "xyz")'
bridge_lines() { grep -vF "… chưa nối được Orvalen Sorvic" "$work/run.out" || true; }
for ((attempt = 0; ; attempt++)); do
  "$WINE_RUN" "$exe" run --no-env --port 7999 --source xyz >"$work/run.out" 2>"$work/run.err" &
  run_pid=$!
  for ((i = 0; i < 300; i++)); do
    [ "$(bridge_lines)" = "$expected" ] && break 2
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$run_pid" 2>/dev/null && fail "run output"
  status=0
  wait "$run_pid" || status=$?
  run_pid=""
  grep -qF "đã đang chạy" "$work/run.err" && [ "$attempt" -lt 120 ] || fail "run ended ($status)"
  sleep 1
done
# Three more passes of the supervisor (3 s each) add nothing: the absence is told once.
sleep 10
[ "$(bridge_lines)" = "$expected" ] || fail "run output after 10 s"
echo "PASS"
