#!/usr/bin/env bash
# Every connection attempt of the Windows programs asks the system not to retransmit the SYN
# (SIO_TCP_INITIAL_RTO, which Wine's trace names _WSAIOW(IOC_VENDOR, 17)) on its socket before it
# connects, so that Windows reports a closed port at once instead of after about two seconds.
# Wine refuses at once anyway and does not know the request, so the request is looked for in
# Wine's trace of the socket calls of a refused connection.
# Environment: BUILD_DIR (the Windows build), WINE_RUN (the Wine runner).
set -euo pipefail
: "${BUILD_DIR:?}" "${WINE_RUN:?}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/support.sh"

status=0
WINEDEBUG=+winsock "$WINE_RUN" "$BUILD_DIR/apps/tavrick/tests/tavrick_tests.exe" \
  --gtest_filter=SocketWin32Test.ConnectionToAClosedPortIsRefusedWithinTheLimit \
  >"$work/test.out" 2>"$work/trace.err" </dev/null || status=$?
[ "$status" = 0 ] || fail "the refused connection test: exit $status"

# For each connect: the last WSAIoctl call on the same socket before it, with its input size.
tr -d '\r' <"$work/trace.err" | awk '
  /:trace:winsock:WSAIoctl socket / {
    socket = $3; sub(/,$/, "", socket)
    code = $0; sub(/.*socket [^,]*, /, "", code); sub(/, in_buff .*/, "", code)
    size = $0; sub(/.*in_size /, "", size); sub(/,.*/, "", size)
    last[socket] = code " " size
  }
  /:trace:winsock:connect socket / {
    socket = $3; sub(/,$/, "", socket)
    print (socket in last ? last[socket] : "none")
  }' >"$work/before_connect.txt"
[ -s "$work/before_connect.txt" ] || fail "no connect in the trace"
if grep -vxF "_WSAIOW(IOC_VENDOR, 17) 0x4" "$work/before_connect.txt"; then
  fail "a connect without the request for no SYN retransmission just before it"
fi
echo "PASS"
