#!/usr/bin/env bash
# The release zip as a Windows user meets it, under Wine in the build's prefix: its checksum and
# entries, the programs it carries (the build's own bytes, with their version resources and
# manifest), its read-me and guide, and, unpacked into a folder whose path holds spaces and
# Vietnamese letters, `tavrick list`, `tavrick install` (the Run value, the running agent linked
# to the simulated editing application) and `tavrick uninstall`, typed in that folder.
# Environment: TAVRICK_ZIP (the release zip), TAVRICK_VERSION (the build's version), TAVRICK and
# TAVRICK_AGENT (the build's programs), SORVIC_SIM (the Linux simulator), WINE_RUN (the Wine
# runner); the caller holds the prefix's bridge lock (this test installs the agent there).
set -euo pipefail
: "${TAVRICK_ZIP:?}" "${TAVRICK_VERSION:?}" "${TAVRICK:?}" "${TAVRICK_AGENT:?}" "${SORVIC_SIM:?}" \
  "${WINE_RUN:?}"
here=$(dirname "$0")

work=$(mktemp -d)
sim_pid=""
installed=""
env_before=""
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
value='Orvalen Sorvic Loupedeck'

# The agents started from the unpacked folder: their command lines hold the scratch folder's
# unique name (in the Windows form of the path) and the agent's file name.
unpacked_agents() {
  grep -lF -- "$(basename "$work")" /proc/[0-9]*/cmdline 2>/dev/null |
    xargs -r grep -lF tavrick-agent.exe 2>/dev/null | cut -d/ -f3 || true
}
# Whether process PID has ended (gone, or a zombie that nobody has reaped).
ended() { [ ! -e "/proc/$1" ] || [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = Z ]; }
cleanup() {
  if [ -n "$installed" ]; then
    "$WINE_RUN" reg delete "$run_key" /v "$value" /f >/dev/null 2>&1 </dev/null || true
  fi
  if [ -z "$env_before" ]; then
    "$WINE_RUN" reg delete 'HKCU\Environment' /v SORVIC_CONTROL_PORT /f >/dev/null 2>&1 \
      </dev/null || true
  fi
  # The agent would hold the data folder's lock in the shared prefix after this test.
  local pid tries
  for pid in $(unpacked_agents); do
    kill -KILL "$pid" 2>/dev/null || true
    for ((tries = 0; tries < 100; tries++)); do
      ended "$pid" && break
      sleep 0.1
    done
  done
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

source "$here/../e2e/support.sh"

# Runs a command line in cmd inside FOLDER, as a user types it; output to files (Wine's helpers
# keep pipes open). Sets $status.
typed() {
  local name=$1 folder=$2
  shift 2
  status=0
  (cd "$folder" && "$WINE_RUN" cmd /c "$@") >"$work/$name.out" 2>"$work/$name.err" </dev/null ||
    status=$?
}
text() { tr -d '\r' <"$1"; }
# A registry key as `reg export` writes it (UTF-16; `reg query` loses letters outside the OEM
# code page when its output is a file).
exported() {
  "$WINE_RUN" reg export "$1" "$("$WINE_RUN" winepath -w "$work/export.reg" 2>/dev/null)" /y \
    >/dev/null 2>&1 </dev/null || return 0
  iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r'
}

# The zip and its checksum.
dist=$(dirname "$TAVRICK_ZIP")
zip_name=$(basename "$TAVRICK_ZIP")
[ "$zip_name" = "tavrick-$TAVRICK_VERSION-windows-x64.zip" ] || fail "zip name $zip_name"
[ "$(cat "$dist/SHA256SUMS")" = "$(cd "$dist" && sha256sum "$zip_name")" ] || fail "SHA256SUMS"
unzip -tq "$TAVRICK_ZIP" >/dev/null || fail "the zip does not test whole"
[ "$(unzip -Z1 "$TAVRICK_ZIP")" = $'doc-truoc.txt\nhuong-dan.html\ntavrick-agent.exe\ntavrick.exe' ] ||
  fail "zip entries: $(unzip -Z1 "$TAVRICK_ZIP" | paste -sd ' ')"

folder="$work/Phần mềm ảnh/Tavrick thử"
mkdir -p "$folder"
unzip -q "$TAVRICK_ZIP" -d "$folder"
cmp -s "$folder/tavrick.exe" "$TAVRICK" || fail "tavrick.exe in the zip is not the build's"
cmp -s "$folder/tavrick-agent.exe" "$TAVRICK_AGENT" || fail "tavrick-agent.exe in the zip is not the build's"

# What each program says about itself: the version in the resource's texts and numbers (three
# numbers and the commit count), no link time, the subsystem, the manifest.
[[ "$TAVRICK_VERSION" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(-([0-9]+)-g[0-9a-f]+(-dirty)?)?$ ]] ||
  fail "version $TAVRICK_VERSION"
four="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.${BASH_REMATCH[3]}.${BASH_REMATCH[5]:-0}"
for program in tavrick:3:"tavrick: " tavrick-agent:2:"tavrick-agent: "; do
  IFS=: read -r name subsystem description <<<"$program"
  facts=$("$here/pe_resources.py" "$folder/$name.exe") || fail "$name.exe: no resources"
  for fact in "timestamp 0" "resource-timestamp 0" "subsystem $subsystem" \
    "fixed FileVersion $four" "fixed ProductVersion $four" \
    "string 042a04b0 FileVersion $TAVRICK_VERSION" \
    "string 042a04b0 ProductVersion $TAVRICK_VERSION" \
    "string 042a04b0 ProductName tavrick" "string 042a04b0 InternalName $name" \
    "string 042a04b0 OriginalFilename $name.exe" "translation 042a 04b0"; do
    grep -qxF -- "$fact" <<<"$facts" || fail "$name.exe: no '$fact' in:
$facts"
  done
  grep -q "^string 042a04b0 FileDescription $description.*Loupedeck+" <<<"$facts" ||
    fail "$name.exe: description"
  "$here/pe_resources.py" --manifest "$folder/$name.exe" >"$work/$name.manifest" ||
    fail "$name.exe: no manifest"
  /usr/bin/python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' \
    "$work/$name.manifest" || fail "$name.exe: the manifest is not well-formed XML"
  for setting in '<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' \
    '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' \
    '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>' \
    '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>'; do
    grep -qF -- "$setting" "$work/$name.manifest" || fail "$name.exe: manifest without $setting"
  done
done

# The read-me for Notepad and the guide for a browser.
readme="$folder/doc-truoc.txt"
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "read-me without a BOM"
[ "$(tr -cd '\n' <"$readme" | wc -c)" = "$(tr -cd '\r' <"$readme" | wc -c)" ] ||
  fail "read-me line ends are not CR LF"
for line in "tavrick $TAVRICK_VERSION - Loupedeck+ cho Orvalen Sorvic trên Windows" \
  "       tavrick install" "       tavrick uninstall"; do
  grep -qxF -- "$line" <(text "$readme" | sed '1s/^\xef\xbb\xbf//') || fail "read-me: no '$line'"
done
guide="$folder/huong-dan.html"
for piece in '<meta charset="utf-8">' '<title>Hướng dẫn dùng tavrick (Loupedeck+ cho Orvalen Sorvic)</title>' \
  '<td><code>tavrick.exe</code></td>' '<code>Dùng: tavrick &lt;run|list|watch|ports|install|uninstall&gt;' \
  "<p class=\"version\">tavrick $TAVRICK_VERSION</p>"; do
  grep -qF -- "$piece" "$guide" || fail "guide: no '$piece'"
done
! grep -qE '^(```|\|---|#+ )' "$guide" || fail "guide: Markdown left unrendered"
# Its first section: the checksum, unblocking the download, SmartScreen's warning.
first_section=$(sed -n '/^<h2>1\. /,/^<h2>2\. /p' "$guide")
for piece in '<h2>1. Tải và kiểm tra tavrick</h2>' 'Get-FileHash' 'SHA256SUMS' 'Unblock-File' \
  '"Unblock"' '"Windows protected your PC"' '"More info"' '"Run anyway"'; do
  grep -qF -- "$piece" <<<"$first_section" || fail "guide's first section: no '$piece'"
done

# `tavrick list` typed in the unpacked folder.
typed list "$folder" tavrick list
[ "$status" = 0 ] || fail "list: exit $status"
[ "$(text "$work/list.out" | head -n 2)" = $'\n══ Chỉnh ảnh — thường' ] || fail "list: first lines"
[ "$(text "$work/list.out" | tail -n 1)" = "421 ô, 5 ô chưa có lệnh Sorvic tương đương." ] ||
  fail "list: last line"

# `tavrick install` typed there: the Run value names the unpacked agent, and the agent runs from
# there, linked to the simulator.
start_simulator
source_text="release test $$"
env_before=$("$WINE_RUN" reg query 'HKCU\Environment' /v SORVIC_CONTROL_PORT 2>/dev/null </dev/null) ||
  env_before=""
"$WINE_RUN" cmd /c 'echo %LOCALAPPDATA%' >"$work/env.out" 2>/dev/null </dev/null
win_log="$(text "$work/env.out")\\Orvalen Sorvic\\loupedeck.log"
log="$("$WINE_RUN" winepath -u "$win_log" 2>/dev/null)"
# The lock held by the caller covers the prefix's data folder: the log becomes this test's.
rm -f "$log"
installed=yes
typed install "$folder" tavrick install --port "$port" --source "$source_text"
[ "$status" = 0 ] || fail "install: exit $status"
expected_install="đã cài: agent tự chạy khi đăng nhập ($run_key\\$value) và đang chạy
nhật ký: $win_log"
[ "$(text "$work/install.out" | tail -n 2)" = "$expected_install" ] || fail "install: message"
agent=$("$WINE_RUN" winepath -w "$folder/tavrick-agent.exe" 2>/dev/null)
agent_escaped=${agent//\\/\\\\}
expected_value="\"$value\"=\"\\\"$agent_escaped\\\" --port $port --source \\\"$source_text\\\"\""
exported "$run_key" | grep -xF -- "$expected_value" >/dev/null ||
  fail "Run value: $(exported "$run_key" | grep -F "$value")"
wait_for "$log" "… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa \"$source_text\")" 1 60
wait_for "$log" "→ đã nối Orvalen Sorvic ở 127.0.0.1:$port" 1 60
[ -n "$(unpacked_agents)" ] || fail "no agent runs from the unpacked folder"

# `tavrick uninstall` typed there removes the value; the agent runs on until the test ends it.
typed uninstall "$folder" tavrick uninstall
[ "$status" = 0 ] || fail "uninstall: exit $status"
[ "$(text "$work/uninstall.out" | tail -n 1)" = "đã gỡ $run_key\\$value (agent đang chạy sẽ dừng khi đăng xuất)" ] ||
  fail "uninstall: message"
installed=""
! "$WINE_RUN" reg query "$run_key" /v "$value" >/dev/null 2>&1 </dev/null ||
  fail "Run value still there after uninstall"
echo "PASS"
