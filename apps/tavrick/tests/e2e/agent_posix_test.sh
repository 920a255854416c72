#!/usr/bin/env bash
# The logon agent of the Linux programs: install writes the XDG autostart entry and starts the
# agent detached from this session and from install's output; the agent holds the lock, logs to the data folder and links
# to the simulated editing application; uninstall removes the entry; an install from a folder
# without the agent writes nothing.
# Environment: TAVRICK, TAVRICK_AGENT (the programs), SORVIC_SIM (the simulator).
set -euo pipefail
: "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${SORVIC_SIM:?}"

work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config" LOCALAPPDATA="$work/data dữ liệu" HOME="$work/home"
# The agent's bridge lists JACK's ports: a server name of its own keeps it off every real server.
export JACK_DEFAULT_SERVER="tavrick-agent-e2e-$$"
log="$LOCALAPPDATA/Orvalen Sorvic/loupedeck.log"
entry="$XDG_CONFIG_HOME/autostart/orvalen-sorvic-loupedeck.desktop"
sim_pid=""
agent_pid=""
cleanup() {
  # An agent started by a step that failed before its process id was taken.
  if [ -z "$agent_pid" ] && [ -n "${folder:-}" ]; then
    agent_pid=$(pid_of_program "$folder/tavrick-agent" || true)
  fi
  for pid in $agent_pid $sim_pid; do
    kill "$pid" 2>/dev/null || true
  done
  [ -z "$sim_pid" ] || wait "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/support.sh"

# Runs a program with its output in files; sets $status.
run() {
  local name=$1
  shift
  status=0
  "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null || status=$?
}
wait_for_log() { wait_for "$log" "$1" 1 60; }
# The process id of the program at this exact path, found through /proc.
pid_of_program() {
  for exe in /proc/[0-9]*/exe; do
    if [ "$(readlink "$exe" 2>/dev/null)" = "$1" ]; then
      basename "$(dirname "$exe")"
      return 0
    fi
  done
  return 1
}

start_simulator

# Without the agent beside the program: an error and no entry.
mkdir -p "$work/only console"
cp "$TAVRICK" "$work/only console/tavrick"
run lone "$work/only console/tavrick" install --port "$port"
[ "$status" = 1 ] || fail "install without agent: exit $status"
[ "$(cat "$work/lone.err")" = "✗ không thấy $work/only console/tavrick-agent (phải nằm cạnh tavrick)" ] ||
  fail "install without agent: message"
[ ! -e "$entry" ] || fail "install without agent wrote the entry"

folder="$work/Program Files/tavrick"
mkdir -p "$folder"
cp "$TAVRICK" "$folder/tavrick"
cp "$TAVRICK_AGENT" "$folder/tavrick-agent"
# Read through a pipe, as `tavrick install | more` would: install ends and the pipe reaches its
# end while the agent it started runs on.
piped install "$folder/tavrick" install --port "$port" --source "Loupedeck+"
agent_pid=$(pid_of_program "$folder/tavrick-agent" || true)
[ "$status" = 0 ] || fail "install: exit $status"
[ "$(tail -n 2 "$work/install.out")" = "đã cài: agent tự chạy khi đăng nhập ($entry) và đang chạy
nhật ký: $log" ] || fail "install: message"
grep -qxF "Exec=\"$folder/tavrick-agent\" --port $port --source \"Loupedeck+\"" "$entry" ||
  fail "autostart entry's Exec line"

wait_for_log "Đang chạy (421 ô ánh xạ, cổng $port). Fn = giữ, Custom Mode = bật/tắt."
wait_for_log '… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa "Loupedeck+")'
wait_for_log "→ đã nối Orvalen Sorvic ở 127.0.0.1:$port"
grep -qvE '^[0-9]+ ' "$log" && fail "log line without a time stamp"
[ -n "$agent_pid" ] || agent_pid=$(pid_of_program "$folder/tavrick-agent") || fail "agent not running"
# Detached: a session of its own, no terminal.
[ "$(ps -o sid= -p "$agent_pid" | tr -d ' ')" != "$(ps -o sid= -p $$ | tr -d ' ')" ] ||
  fail "agent shares the test's session"
[ "$(ps -o tty= -p "$agent_pid" | tr -d ' ')" = "?" ] || fail "agent has a terminal"

run console "$folder/tavrick" run --no-env --port "$port"
[ "$status" = 1 ] || fail "run beside the agent: exit $status"
[ "$(cat "$work/console.err")" = "✗ driver Loupedeck đã đang chạy (chỉ được một bản)" ] ||
  fail "run beside the agent: message"
run second "$folder/tavrick-agent" --no-env --port "$port"
[ "$status" = 0 ] || fail "second agent: exit $status"
wait_for_log "driver Loupedeck đã đang chạy (chỉ được một bản); bản này thoát"

run uninstall "$folder/tavrick" uninstall
[ "$status" = 0 ] || fail "uninstall: exit $status"
[ "$(cat "$work/uninstall.out")" = "đã gỡ $entry (agent đang chạy sẽ dừng khi đăng xuất)" ] ||
  fail "uninstall: message"
[ ! -e "$entry" ] || fail "entry still there"
run uninstall2 "$folder/tavrick" uninstall
[ "$status" = 0 ] || fail "second uninstall: exit $status"
[ "$(cat "$work/uninstall2.out")" = "chưa cài, không có gì để gỡ" ] || fail "second uninstall: message"
echo "PASS"
