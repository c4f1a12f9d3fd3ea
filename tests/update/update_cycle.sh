#!/usr/bin/env bash
# zunclient across an engine update: the first purchase call downloads the offered build, the
# client installs it in place of its engine and calls again; the new engine asks for no update
# and opens the store, where the scripted shopper buys and closes the window.
#   update_cycle.sh ZUNCLIENT ENGINE NEXT_ENGINE NEXT_VERSION STORE_SERVER SHOPPER
set -euo pipefail
client=$1 engine=$2 next=$3 next_version=$4 server=$5 shopper=$6

work=$(mktemp -d)
cleanup() {
  python3 "$server" --stop --pid-file "$work/pid" || true
  [ -n "${shopper_pid:-}" ] && kill "$shopper_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The client and its engine, installed where the update may replace them.
mkdir "$work/app"
cp "$client" "$engine" "$work/app/"
installed="$work/app/$(basename "$engine")"

python3 "$server" --daemon --pid-file "$work/pid" --address-file "$work/address" --log "$work/requests.log" \
  --pin-file "$work/pin" --engine-file "$next"
address=$(cat "$work/address")
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

export TMPDIR="$work" ZUN_STORE_HOST="$address" ZUN_BROWSER_HEADLESS=1
# The secure store's host, which the certificate in the layout reply names,
# is this server.
export ZUN_BROWSER_FLAGS="--host-resolver-rules=\"MAP secure.orvella.com:443 $address\" \
--ignore-certificate-errors-spki-list=$(cat "$work/pin") --remote-debugging-port=$port"
export ZUN_USER_HIVE="$work/user.db" ZUN_MACHINE_HIVE="$work/machine.db" ZUN_TRACE="$work/trace.log"

/usr/bin/python3 "$shopper" --port "$port" --end close --timeout 90 >"$work/shopper.log" 2>&1 &
shopper_pid=$!
status=0
"$work/app/$(basename "$client")" purchase --vantor update --sku ZUN-PRO-1 >"$work/client.log" 2>&1 ||
  status=$?
wait "$shopper_pid" || true
cat "$work/client.log"

fail() { echo "FAILED: $*"; exit 1; }
[ $status -eq 0 ] || fail "zunclient exited with $status"
grep -q "^status: ZUN_E_ENGINE_UPDATED (0xE400000F)" "$work/client.log" || fail "no engine update"
grep -q "the engine downloaded an update: $work/XWS.*\.tmp" "$work/client.log" || fail "not an XWS file in TMPDIR"
grep -q "^loaded engine $next_version from $installed" "$work/client.log" || fail "the new engine was not loaded"
grep -q "^status: ZUN_S_OK (0x00000000)" "$work/client.log" || fail "the second call did not succeed"
cmp -s "$next" "$installed" || fail "the installed engine is not the served build"
[ ! -e "$installed.old" ] || fail "the old engine is still kept after a successful call"
ls "$work"/XWS*.tmp >/dev/null 2>&1 && fail "the downloaded file was left behind"
[ "$(grep -c CHECKFORIEENGINEUPDATE "$work/requests.log")" -eq 1 ] || fail "the update was asked for twice"
grep -q "call=layoutSize" "$work/requests.log" || fail "the second call sent no layout query"
grep -q "^  _Order.Status = 1$" "$work/client.log" || fail "the invoice state was not handed back"
# The status set again leaves a blanked entry in the blob, which is not listed.
grep -q "^   = $" "$work/client.log" && fail "a blanked entry was listed"
# The trace file is the user's alone, and holds none of what the shopper typed.
[ "$(stat -c %a "$work/trace.log")" = 600 ] || fail "the trace file is not owner-only"
grep -q "ZUN: Prolog" "$work/trace.log" || fail "nothing was traced"
grep -q -e "ann.lee@example.com" -e "Harbour Street" "$work/trace.log" && fail "the trace holds the shopper's values"
echo "update cycle passed"
