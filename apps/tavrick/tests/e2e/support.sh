# Helpers for the end-to-end scripts; sourced, not run. The caller sets $work, the folder that
# holds the programs' output files (*.out, *.err).

# fail MESSAGE: reports the failure with the end of every output file and exits with 1.
fail() {
  echo "FAIL: $*" >&2
  local f
  for f in "$work"/*.out "$work"/*.err; do
    [ -s "$f" ] && { echo "--- $(basename "$f")" >&2; tail -n 20 "$f" >&2; }
  done
  exit 1
}

# wait_for FILE TEXT [COUNT] [SECONDS]: waits until FILE has COUNT lines containing TEXT
# (default 1, within 15 s); fails otherwise.
wait_for() {
  local file=$1 text=$2 count=${3:-1} tries=$((${4:-15} * 10))
  while [ "$(grep -cF -- "$text" "$file" 2>/dev/null)" -lt "$count" ]; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "no $count× '$text' in $(basename "$file")"
    sleep 0.1
  done
}
