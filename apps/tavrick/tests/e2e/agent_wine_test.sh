#!/usr/bin/env bash
# The logon agent of the Windows programs as a user meets it, under Wine in a private prefix:
# install from a folder whose path holds a space with its output read through a pipe, the Run
# value as `reg query` shows it, the running agent with its lock, its log file and its link to
# the simulated editing application (on the Linux side of 127.0.0.1), a second bridge refused,
# uninstall twice, and an install from a folder without the agent that writes nothing. A source
# with quotation marks and a trailing backslash reaches the agent unchanged.
# Environment: TAVRICK, TAVRICK_AGENT (the Windows programs), SORVIC_SIM (the Linux simulator),
# WINE_RUN (the Wine runner).
set -euo pipefail
: "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${SORVIC_SIM:?}" "${WINE_RUN:?}"

work=$(mktemp -d)
# A prefix of its own: the agent holds the data folder's lock for the whole test, which would
# refuse the bridges of other tests in a shared prefix.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  # Ends every Windows process of the private prefix, the agents included.
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/support.sh"

# Runs a Windows program; its output goes to files (Wine's helpers keep pipes open). Sets $status.
win() {
  local name=$1
  shift
  status=0
  "$WINE_RUN" "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null || status=$?
}
# A file's text without the carriage returns of Windows line ends.
text() { tr -d '\r' <"$1"; }
wait_for_log() { wait_for "$log" "$1" 1 60; }

mkdir -p "$WINEPREFIX"
wineserver -p
"$WINE_RUN" wineboot -i >/dev/null 2>&1
log=""
win env cmd /c 'echo %LOCALAPPDATA%'
local_app_data=$(text "$work/env.out")
log="$("$WINE_RUN" winepath -u "$local_app_data\\Orvalen Sorvic\\loupedeck.log" 2>/dev/null)"
win_log="$local_app_data\\Orvalen Sorvic\\loupedeck.log"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
value='Orvalen Sorvic Loupedeck'

start_simulator

# From a folder without the agent: an error, and nothing in the registry or the environment.
mkdir -p "$work/Only Console"
cp "$TAVRICK" "$work/Only Console/tavrick.exe"
lone_agent=$("$WINE_RUN" winepath -w "$work/Only Console/tavrick-agent.exe" 2>/dev/null)
win lone "$work/Only Console/tavrick.exe" install --port "$port"
[ "$status" = 1 ] || fail "install without agent: exit $status"
[ "$(text "$work/lone.err")" = "✗ không thấy $lone_agent (phải nằm cạnh tavrick.exe)" ] ||
  fail "install without agent: message"
win query reg query "$run_key" /v "$value"
[ "$status" != 0 ] || fail "install without agent wrote the Run value"
win envquery reg query 'HKCU\Environment' /v SORVIC_CONTROL_PORT
[ "$status" != 0 ] || fail "install without agent set the port variable"

# Install from a folder whose path holds a space.
folder="$work/Program Files/Tavrick"
mkdir -p "$folder"
cp "$TAVRICK" "$folder/tavrick.exe"
cp "$TAVRICK_AGENT" "$folder/tavrick-agent.exe"
agent=$("$WINE_RUN" winepath -w "$folder/tavrick-agent.exe" 2>/dev/null)
started=$(date +%s)
# Standard output read through a pipe, as `tavrick install | more` would: install ends and the
# pipe reaches its end while the agent it started runs on. (Standard error goes to a file: Wine
# hands its own Unix standard error on to every process it starts, whatever their handles.)
piped install "$WINE_RUN" "$folder/tavrick.exe" install --port "$port" --source "Loupedeck+"
[ "$status" = 0 ] || fail "install: exit $status"
expected_install="đã cài: agent tự chạy khi đăng nhập ($run_key\\$value) và đang chạy
nhật ký: $win_log"
[ "$(text "$work/install.out" | tail -n 2)" = "$expected_install" ] || fail "install: message"
# The port variable's outcome is logged either way (Wine may or may not have setx).
grep -qE "^(→ đã đặt SORVIC_CONTROL_PORT=$port cho người dùng|! không đặt được SORVIC_CONTROL_PORT \(.*\) — mở Sorvic bằng --control $port$)" \
  <(text "$work/install.out") || fail "install: port variable line"

win query reg query "$run_key" /v "$value"
[ "$status" = 0 ] || fail "reg query after install"
grep -qF "$value    REG_SZ    \"$agent\" --port $port --source \"Loupedeck+\"" \
  <(text "$work/query.out") || fail "Run value"

# The agent runs: start-up line, absence line, link to the simulator.
wait_for_log "Đang chạy (421 ô ánh xạ, cổng $port). Fn = giữ, Custom Mode = bật/tắt."
wait_for_log '… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa "Loupedeck+")'
wait_for_log "→ đã nối Orvalen Sorvic ở 127.0.0.1:$port"
now=$(date +%s)
while IFS= read -r line; do
  stamp=${line%% *}
  [[ "$stamp" =~ ^[0-9]+$ ]] || fail "log line without a time stamp: $line"
  ((stamp >= started - 1 && stamp <= now + 1)) || fail "time stamp $stamp not the current time"
done <"$log"

# The agent holds the lock: a console run is refused, a second agent steps aside with 0.
win run "$folder/tavrick.exe" run --no-env --port "$port"
[ "$status" = 1 ] || fail "run beside the agent: exit $status"
[ "$(text "$work/run.err")" = "✗ driver Loupedeck đã đang chạy (chỉ được một bản)" ] ||
  fail "run beside the agent: message"
win second "$folder/tavrick-agent.exe" --port "$port"
[ "$status" = 0 ] || fail "second agent: exit $status"
wait_for_log "driver Loupedeck đã đang chạy (chỉ được một bản); bản này thoát"

# Uninstall removes the value; a second uninstall has nothing to do. `reg` shares the standard
# streams and may print its own lines first.
win uninstall "$folder/tavrick.exe" uninstall
[ "$status" = 0 ] || fail "uninstall: exit $status"
[ "$(text "$work/uninstall.out" | tail -n 1)" = "đã gỡ $run_key\\$value (agent đang chạy sẽ dừng khi đăng xuất)" ] ||
  fail "uninstall: message"
win query reg query "$run_key" /v "$value"
[ "$status" != 0 ] || fail "Run value still there after uninstall"
win uninstall2 "$folder/tavrick.exe" uninstall
[ "$status" = 0 ] || fail "second uninstall: exit $status"
[ "$(text "$work/uninstall2.out" | tail -n 1)" = "chưa cài, không có gì để gỡ" ] || fail "second uninstall: message"

# A source with quotation marks and a trailing backslash reaches the agent as given, both in the
# Run value and in the agent started now.
wineserver -k
wineserver -p
tricky='say "hi" \'
win tricky "$folder/tavrick.exe" install --port "$port" --source "$tricky"
[ "$status" = 0 ] || fail "install with a tricky source: exit $status"
win query reg query "$run_key" /v "$value"
grep -qF "$value    REG_SZ    \"$agent\" --port $port --source \"say \\\"hi\\\" \\\\\"" \
  <(text "$work/query.out") || fail "Run value with a tricky source"
wait_for_log "… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa \"$tricky\")"
win uninstall3 "$folder/tavrick.exe" uninstall
echo "PASS"
