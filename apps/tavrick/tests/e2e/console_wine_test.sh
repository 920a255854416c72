#!/usr/bin/env bash
# The console path of the Windows programs (WriteConsoleW), as a user meets it in a console
# window. Under Wine a program whose standard streams are a terminal gets a console, so each
# command runs under a pseudo-terminal (script), wide enough that no line wraps; Wine's console
# draws the text on it with a few control sequences, which are taken out again. What arrives
# must be the text the same command writes as UTF-8 bytes to files: every Vietnamese letter, "✗"
# and "══", also in a text longer than one write of the console layer (the whole listing), with
# standard output and standard error in the order they were written.
# Environment: TAVRICK (tavrick.exe), BUILD_DIR (the Windows build), WINE_RUN (the Wine runner).
set -euo pipefail
: "${TAVRICK:?}" "${BUILD_DIR:?}" "${WINE_RUN:?}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/support.sh"
child="$BUILD_DIR/apps/tavrick/tests/test_child.exe"

# Wine's sound driver loads the ALSA library, which prints its complaints about a machine
# without sound cards on the Unix standard error: they are Wine's lines, not the program's.
without_alsa() { grep -v '^ALSA lib ' || true; }

# to_files NAME PROGRAM ARG...: the program's output as bytes in $work/NAME.out and .err.
to_files() {
  local name=$1
  shift
  "$WINE_RUN" "$@" >"$work/$name.out" 2>"$work/$name.raw-err" </dev/null || true
  without_alsa <"$work/$name.raw-err" >"$work/$name.err"
}

# on_console NAME 'PROGRAM ARG...' ...: runs each command line in turn on one pseudo-terminal;
# what reached the terminal, without its control sequences and carriage returns, in
# $work/NAME.out. A cursor move to the right over an empty line stands for that many spaces.
# The shell's own messages go to $work/NAME.shell, not to the terminal: the Wine server kills a
# process whose Unix side has not ended about a second after its last thread did, which happens
# on a busy machine after the program wrote all its text, and the shell's "Killed" would then
# stand among the program's lines. A shell may print that message while the command's own
# redirections are in place (dash does), so the command is started through a small sh that
# points its standard error at the terminal only in the process that becomes the program. The
# shell is fixed, so the test behaves the same whatever SHELL the caller has.
on_console() {
  local name=$1 commands command
  shift
  commands="stty cols 4000 rows 50; exec 3>&2 2>$(printf '%q' "$work/$name.shell")"
  for command in "$@"; do
    commands+="; sh -c 'exec 2>&3 3>&- \"\$@\"' sh $(printf '%q ' "$WINE_RUN") $command"
  done
  SHELL=/bin/sh script -qec "$commands" /dev/null </dev/null >"$work/$name.tty" \
    2>"$work/$name.err" || true
  perl -pe 's/\e\[(\d*)C/" " x ($1 || 1)/ge; s/\e\[[0-9;?]*[A-Za-z]//g; s/\e\][^\a]*\a//g; s/\r//g' \
    "$work/$name.tty" | without_alsa >"$work/$name.out"
}

# same NAME EXPECTED_FILE: the console text NAME is the expected text.
same() {
  cmp -s "$work/$1.out" "$2" || {
    diff "$2" "$work/$1.out" | head -n 20 >&2
    [ ! -s "$work/$1.shell" ] || sed 's/^/shell: /' "$work/$1.shell" >&2
    fail "$1: the console shows other text than expected"
  }
}

q() { printf '%q' "$1"; }

# The whole listing: over 30,000 characters, so several writes of the console layer.
to_files list "$TAVRICK" list
[ "$(wc -m <"$work/list.out")" -gt 30000 ] || fail "list: the listing is short"
grep -qF "══ Chỉnh ảnh — thường" "$work/list.out" || fail "list: no page heading"
grep -qF "✗" "$work/list.out" || fail "list: no ✗"
on_console list_console "$(q "$TAVRICK") list"
same list_console "$work/list.out"

# Standard output and error on one console keep their order: ports, a bad --port, ports.
to_files ports "$TAVRICK" ports
to_files bad_port "$TAVRICK" list --port 0
[ "$(cat "$work/bad_port.err")" = "--port phải là số từ 1 đến 65535" ] || fail "bad --port: message"
cat "$work/ports.out" "$work/ports.err" "$work/bad_port.err" "$work/ports.out" \
  "$work/ports.err" >"$work/sequence.expected"
on_console sequence_console "$(q "$TAVRICK") ports" "$(q "$TAVRICK") list --port 0" \
  "$(q "$TAVRICK") ports"
same sequence_console "$work/sequence.expected"

# Within one process: lines alternating between the two streams, both consoles, one of them
# longer than a write of the console layer with letters across the boundary between two writes.
# (Wine's console shows a character outside the 16-bit range as two replacement characters even
# in a single write, so such characters cannot be checked here.)
to_files streams "$child" streams
[ "$(head -n 1 "$work/streams.out")" = "1 ra: file" ] || fail "streams: standard output to a file"
[ "$(head -n 1 "$work/streams.err")" = "2 lỗi: file" ] || fail "streams: standard error to a file"
grep -qx 'b*Độ sáng ══ ✗' "$work/streams.out" || fail "streams: the long text"
{
  printf '1 ra: console\n2 lỗi: console\n'
  tail -n +2 "$work/streams.out"
  tail -n +2 "$work/streams.err"
} >"$work/streams.expected"
on_console streams_console "$(q "$child") streams"
same streams_console "$work/streams.expected"
echo "PASS"
