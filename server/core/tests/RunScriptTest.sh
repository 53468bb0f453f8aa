#!/usr/bin/env bash
# scripts/run on a copy of a built staging folder and a new database of the test cluster:
# with its HTTP port taken it ends non-zero and says why on the console; once the port is free
# it serves, keeps the user's edits to Settings.ini and its owner-only mode, and Ctrl-C (TERM to
# the script) ends it cleanly. A run that ended abnormally leaves its console output, and each
# start keeps the previous run's log. Usage: RunScriptTest.sh STAGE_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
built_stage=$(cd "$1" && pwd)

if [ -z "${KESTROVA_TEST_PG:-}" ]; then
  echo "KESTROVA_TEST_PG is not set: no cluster to run against"
  [ "${KESTROVA_REQUIRE_PG:-}" = 1 ] && exit 1
  exit 77
fi
# The cluster's socket folder is its own folder (scripts/pg).
cluster=$(sed -n 's/.*[?&]host=\([^&]*\).*/\1/p' <<<"$KESTROVA_TEST_PG")
database="kestrova_run_test_$$"

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(cd "$(mktemp -d "$built_stage/../run-test-XXXXXX")" && pwd)
holder=""
run=""
cleanup() {
  [ -z "$run" ] || kill -TERM "$run" 2>/dev/null || true
  [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
  wait 2>/dev/null || true
  psql -X -q -h "$cluster" -p "$(cat "$cluster/port")" -U postgres -d postgres \
    -c "DROP DATABASE IF EXISTS $database WITH (FORCE)" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Hard links make the copy instant; the settings file is a copy of its own, edited as a user would.
cp -al "$built_stage" "$work/stage"
rm -f "$work/stage/Settings.ini" "$work/stage/server_session.txt"
# Below the kernel's ephemeral range: a port picked there can be taken by any outgoing
# connection of the tests running beside this one before the server binds it.
free_port() {
  python3 -c "
import random, socket
for _ in range(200):
    port = random.randint(20000, 32000)
    s = socket.socket(socket.AF_INET, socket.$1)
    try:
        s.bind(('0.0.0.0', port))
    except OSError:
        continue
    finally:
        s.close()
    print(port)
    break
"
}
http_port=$(free_port SOCK_STREAM)
udp_port=$(free_port SOCK_DGRAM)
sed -e "s/^Port=8099\$/Port=$http_port/" -e "s/^Port=8098\$/Port=$udp_port/" -e 's/^Use Web check=True$/Use Web check=False/' \
  "$top/server/core/Settings.ini" > "$work/stage/Settings.ini"
printf '; my own note\n[Custom]\nNote=kept as written\n' >> "$work/stage/Settings.ini"
# The settings hold passwords: owner-only, as the tools write them.
chmod 600 "$work/stage/Settings.ini"
owner=$(stat -c %u:%g "$work/stage/Settings.ini")

export KESTROVA_STAGE="$work/stage" KESTROVA_RUN_CLUSTER="$cluster" KESTROVA_DATABASE="$database"
export KESTROVA_LOCK_DIR="$work" KESTROVA_REGISTRY_DIR="$work" KESTROVA_START_TIMEOUT=300
unset DISPLAY WAYLAND_DISPLAY

# 1. The port is taken: a non-zero end, the reason and the log's path on the console.
python3 -c "
import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('0.0.0.0', $http_port)); s.listen(); print('held', flush=True); time.sleep(600)" > "$work/holder.txt" &
holder=$!
for _ in $(seq 100); do grep -q held "$work/holder.txt" && break; sleep 0.1; done
status=0
"$top/scripts/run" > "$work/first.txt" 2>&1 || status=$?
cat "$work/first.txt"
[ $status -ne 0 ] || fail "scripts/run ended with status 0 while port $http_port was taken"
grep -q "Brennic did not start" "$work/first.txt" || fail "no failure message"
grep -q "Severe.*Cannot listen on 0.0.0.0:$http_port" "$work/first.txt" || fail "the reason is not on the console"
grep -qF "$work/stage/server_session.txt" "$work/first.txt" || fail "the log's path is not on the console"
! grep -q "serves on port" "$work/first.txt" || fail "it said it serves"
# The first start of the new database failed only for the port.
severe=$(grep -a ' : Severe ' "$work/stage/server_session.txt" | grep -v 'Cannot listen on' || true)
[ -z "$severe" ] || fail "the first start on a new database logged Severe lines: $severe"
[ "$(stat -c %a "$work/stage/Settings.ini")" = 600 ] || fail "Settings.ini is now $(stat -c %a "$work/stage/Settings.ini")"
[ "$(stat -c %u:%g "$work/stage/Settings.ini")" = "$owner" ] || fail "Settings.ini changed its owner"
grep -qF "Its console output is kept in $work/stage/server_console.txt" "$work/first.txt" || fail "the failed run's console was not kept"
grep -q "Cannot listen on 0.0.0.0:$http_port" "$work/stage/server_console.txt" || fail "the kept console lacks the reason"
kill "$holder"; wait "$holder" 2>/dev/null || true; holder=""

# Waits until the scripts/run in the background ($run) says it serves, writing to the given file.
await_serving() {
  for _ in $(seq 1200); do
    grep -q "serves on port" "$1" && return 0
    kill -0 "$run" 2>/dev/null || { cat "$1"; fail "scripts/run ended before it served"; }
    sleep 0.1
  done
}

# 2. The port is free: the second start serves, and the user's edits are still there.
start=$EPOCHREALTIME
"$top/scripts/run" > "$work/second.txt" 2>&1 &
run=$!
await_serving "$work/second.txt"
grep -q "Brennic serves on port $http_port (discovery on UDP port $udp_port)" "$work/second.txt" \
  || { cat "$work/second.txt"; fail "no serving message for port $http_port"; }
awk -v from="$start" -v to="$EPOCHREALTIME" 'BEGIN { printf "second start answered its first probe after %.1f s\n", to - from }'
for line in "Port=$http_port" "Port=$udp_port" "Use Web check=False" "; my own note" "Note=kept as written" \
            "DataSource=ADO?AuxDriver=SQLOLEDB.1;Data Source=$cluster,$(cat "$cluster/port");Initial Catalog=$database;User ID=postgres;"; do
  grep -qxF "$line" "$work/stage/Settings.ini" || { cat "$work/stage/Settings.ini"; fail "Settings.ini lost \"$line\""; }
done

grep -aq "Cannot listen on 0.0.0.0:$http_port" "$work/stage/server_session.old.txt" || fail "the previous run's log is gone"

# Server and client share this computer: the machine's store says so for the client.
grep -qxF 'Installation Type=Single' "$work/machine.ini" || fail "scripts/run wrote no Installation Type=Single"

kill -TERM "$run"
status=0; wait "$run" || status=$?
run=""
[ $status -eq 0 ] || { cat "$work/second.txt"; fail "scripts/run ended with status $status after TERM"; }
grep -q "Information	Brennic		Shutdown" "$work/second.txt" || fail "the server did not shut down in order"
! grep -q "console output is kept" "$work/second.txt" || fail "a clean end kept its console"

# 3. A server killed outright: the script says so and keeps what it said; its log's previous
# run stays beside it.
"$top/scripts/run" > "$work/third.txt" 2>&1 &
run=$!
await_serving "$work/third.txt"
brennic=$(pgrep -P "$run" -x Brennic) || fail "no Brennic under scripts/run"
kill -KILL "$brennic"
status=0; wait "$run" || status=$?
run=""
cat "$work/third.txt"
[ $status -ne 0 ] || fail "scripts/run ended with status 0 after its server was killed"
grep -qF "Its console output is kept in $work/stage/server_console.txt" "$work/third.txt" || fail "the killed run's console was not kept"
grep -q "HTTP server listening on port $http_port" "$work/stage/server_console.txt" || fail "the kept console is not the killed run's"
grep -aq "Shutdown" "$work/stage/server_session.old.txt" || fail "the second run's log was not kept at the third start"
echo "PASS"
