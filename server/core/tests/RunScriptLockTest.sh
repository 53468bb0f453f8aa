#!/usr/bin/env bash
# scripts/run while a running instance holds Brennic's lock: it ends non-zero at once, prints the
# program's own reason, and leaves the running instance's session log as it is.
# Usage: RunScriptLockTest.sh STAGE_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
built_stage=$(cd "$1" && pwd)

if [ -z "${KESTROVA_TEST_PG:-}" ]; then
  echo "KESTROVA_TEST_PG is not set: no cluster to run against"
  [ "${KESTROVA_REQUIRE_PG:-}" = 1 ] && exit 1
  exit 77
fi
cluster=$(sed -n 's/.*[?&]host=\([^&]*\).*/\1/p' <<<"$KESTROVA_TEST_PG")

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(cd "$(mktemp -d "$built_stage/../run-lock-test-XXXXXX")" && pwd)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

cp -al "$built_stage" "$work/stage"
rm -f "$work/stage/Settings.ini" "$work/stage/server_session.txt"
printf 'the running instance\r\n' > "$work/stage/server_session.txt"

# The running instance: this script holds the lock where Brennic looks for it.
exec 9>"$work/kestrova-Brennic.lock"
flock -n 9 || fail "the lock was not taken"

# An existing database: nothing is created, and the refused start never reaches it.
export KESTROVA_STAGE="$work/stage" KESTROVA_RUN_CLUSTER="$cluster" KESTROVA_DATABASE=postgres
export KESTROVA_LOCK_DIR="$work" KESTROVA_REGISTRY_DIR="$work" KESTROVA_START_TIMEOUT=60
unset DISPLAY WAYLAND_DISPLAY
status=0
timeout 60 "$top/scripts/run" > "$work/out.txt" 2>&1 || status=$?
cat "$work/out.txt"
[ $status -ne 0 ] && [ $status -ne 124 ] || fail "scripts/run ended with status $status"
grep -q "Brennic did not start" "$work/out.txt" || fail "no failure message"
grep -q "^  Quorva Data Service is already running on this computer\.$" "$work/out.txt" \
  || fail "the program's own reason is not in the failure message"
! grep -q "(none)" "$work/out.txt" || fail "it said there was nothing to show"
[ "$(cat "$work/stage/server_session.txt")" = $'the running instance\r' ] || fail "the running instance's log was touched"
echo "PASS"
