#!/usr/bin/env bash
# Two release builds of one commit give the same bytes. Builds the release afresh with
# scripts/release in a second folder whose path differs from the first one's (another depth, a
# space, Vietnamese letters), so that an embedded build path shows, and compares both programs,
# the zip and SHA256SUMS with those of the first build byte for byte. It builds everything once
# more, so scripts/test runs it as a step of its own rather than as a ctest test.
#   apps/tavrick/tests/release/reproducible_test.sh FIRST_BUILD_DIR
# Exit code 0 when every file is the same, 1 otherwise.
set -euo pipefail
[ $# -eq 1 ] || {
  echo "Usage: $0 FIRST_BUILD_DIR" >&2
  exit 2
}
first=$(realpath "$1")
root=$(realpath "$(dirname "$0")/../../../..")
second="$root/build/reproducible/bản dựng thứ hai"
rm -rf "$root/build/reproducible"
started=$(date +%s)
"$root/scripts/release" --build "$second" --dist "$second/out" > /dev/null
echo "second build: $(($(date +%s) - started)) s"

status=0
compare() {
  if cmp -s "$1" "$2"; then
    echo "same: $(basename "$2") ($(stat -c %s "$2") bytes)"
  else
    echo "FAIL: $(basename "$2") differs: $(cmp -l "$1" "$2" 2>&1 | wc -l) bytes, first at" \
      "$(cmp "$1" "$2" 2>&1 | head -n 1)" >&2
    status=1
  fi
}
for program in tavrick tavrick-agent; do
  compare "$first/apps/tavrick/$program.exe" "$second/apps/tavrick/$program.exe"
done
zips=("$first"/dist/tavrick-*-windows-x64.zip)
[ ${#zips[@]} = 1 ] && [ -f "${zips[0]}" ] || {
  echo "FAIL: no single release zip in $first/dist" >&2
  exit 1
}
compare "${zips[0]}" "$second/out/$(basename "${zips[0]}")"
compare "$first/dist/SHA256SUMS" "$second/out/SHA256SUMS"
[ "$status" = 0 ] && echo "PASS"
exit "$status"
