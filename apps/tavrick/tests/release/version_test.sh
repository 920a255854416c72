#!/usr/bin/env bash
# The version that a build derives from the number in project(VERSION) and from git, in a scratch
# repository: before any tag, at the tag, after it, with uncommitted changes, beside a tag of
# another version, and in a folder without git; with the time stamp for archives each time.
# Environment: SOURCE_DIR (the source tree, for the CMake module).
set -euo pipefail
: "${SOURCE_DIR:?}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# version FOLDER: the module's three lines (version, four numbers, time stamp), one line.
version() {
  cmake -DNUMBER=1.2.3 -DSOURCE_DIR="$1" -P "$SOURCE_DIR/cmake/tavrick_version.cmake" 2>&1 |
    paste -sd ' '
}
expect() {
  local got
  got=$(version "$repo")
  [ "$got" = "$1" ] || fail "$2: '$got', expected '$1'"
}

repo="$work/repo"
mkdir "$repo"
git() { command git -C "$repo" -c user.name=test -c user.email=test@example.invalid "$@"; }
commit() {
  echo "$1" >"$repo/file"
  git add file
  GIT_COMMITTER_DATE="@$2 +0000" GIT_AUTHOR_DATE="@$2 +0000" git commit -qm "$1"
  hash=$(git rev-parse --short=10 HEAD)
}
git init -q
unset SOURCE_DATE_EPOCH

expect "1.2.3 1,2,3,0 315532800" "a repository without commits"

commit one 1700000000
expect "1.2.3-1-g$hash 1,2,3,1 1700000000" "one commit, no tag"
SOURCE_DATE_EPOCH=1234567890 expect "1.2.3-1-g$hash 1,2,3,1 1234567890" "SOURCE_DATE_EPOCH"

git tag v1.2.3
expect "1.2.3 1,2,3,0 1700000000" "at the tag"
echo changed >"$repo/file"
expect "1.2.3-0-g$hash-dirty 1,2,3,0 1700000000" "at the tag, changed"
git checkout -q file
echo new >"$repo/untracked"
expect "1.2.3 1,2,3,0 1700000000" "at the tag with an untracked file"
rm "$repo/untracked"

commit two 1700000100
commit three 1700000200
expect "1.2.3-2-g$hash 1,2,3,2 1700000200" "two commits after the tag"
git tag v9.9.9
expect "1.2.3-2-g$hash 1,2,3,2 1700000200" "at a tag of another version"

git tag -d v1.2.3 >/dev/null
expect "1.2.3-3-g$hash 1,2,3,3 1700000200" "the tag removed: commits in all"

mkdir "$work/plain"
repo="$work/plain"
expect "1.2.3 1,2,3,0 315532800" "a folder without git"
# A folder inside a repository is not that repository's tree.
repo="$work/repo/sub"
mkdir "$repo"
expect "1.2.3 1,2,3,0 315532800" "a folder inside another repository"

echo "PASS"
