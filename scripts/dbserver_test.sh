#!/usr/bin/env bash
# scripts/dbserver where a fresh machine trips it: a start on a taken address refuses at once and
# names the address; once the address is free the same folder starts whole; a folder whose schema
# went missing gets it back at its next start; check tells a wrong row count.
set -euo pipefail
dbserver=$(cd "$(dirname "$0")" && pwd)/dbserver
work=$(mktemp -d)
listener=
cleanup() {
  if [[ -n $listener ]]; then kill "$listener" 2>/dev/null || true; fi
  "$dbserver" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "dbserver_test: $*" >&2
  exit 1
}
bindable() {
  python3 -c 'import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind((sys.argv[1], int(sys.argv[2])))' \
    "$1" "$2" 2>/dev/null
}

# A loopback address no other test holds: the claim of the C++ tests (tests/support/LoopbackAddress).
address=
for ((k = 0; k < 9 * 254; k++)); do
  slot=$((($$ + k) % (9 * 254)))
  candidate=127.0.$((1 + slot / 254)).$((1 + slot % 254))
  exec {lock}>>"/tmp/kestrel-loopback-$candidate.lock" || continue
  if flock -n "$lock" && bindable "$candidate" 3306 && bindable "$candidate" 6033; then
    address=$candidate
    break
  fi
  exec {lock}>&-
done
[[ -n $address ]] || fail "no free loopback address"

exec {out}< <(exec python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], 3306)); s.listen(); print("up", flush=True); time.sleep(3600)' "$address")
listener=$!
read -r -u "$out" _ || fail "the listener did not start"
status=0
said=$("$dbserver" start "$work/db" "$address" 2>&1) || status=$?
((status != 0)) || fail "start on a taken address succeeded: $said"
[[ $said == *"address $address:3306 is already in use"* ]] || fail "the refusal does not name the address: $said"
kill "$listener"
while kill -0 "$listener" 2>/dev/null; do sleep 0.05; done
listener=

"$dbserver" start "$work/db" "$address" >/dev/null
"$dbserver" check "$work/db" "$address" 0
"$dbserver" load "$work/db" 30
"$dbserver" check "$work/db" "$address" 30
status=0
said=$("$dbserver" check "$work/db" "$address" 31 2>&1) || status=$?
((status != 0)) && [[ $said == *"$address:3306 holds 30 DUPES rows, not 31"* ]] || fail "check let 30 rows pass for 31: $said"

mariadb --no-defaults -uroot --socket="$work/db/sock" -e "DROP DATABASE dupesnukes; DROP USER 'ZEBRANO'@'%'"
"$dbserver" stop "$work/db"
"$dbserver" start "$work/db" "$address" >/dev/null
"$dbserver" check "$work/db" "$address" 0
echo "dbserver_test: passed"
