#!/bin/sh
# A ZUN_TRACE file that is a FIFO without a reader must not hold up the engine: the client's
# update check returns, and its trace lines go to standard error instead.
#   trace-fifo-check.sh ZUNCLIENT
set -u
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkfifo "$folder/trace"
ZUN_TRACE="$folder/trace" ZUN_STORE_HOST=127.0.0.1:1 timeout 30 "$1" check-update --vantor fifo 2>"$folder/err" >/dev/null
status=$?
[ "$status" -ne 124 ] || { echo "the update check blocked on the trace FIFO"; exit 1; }
grep -q "ZUN: Prolog SilentCheckForUpdate()" "$folder/err" ||
  { echo "no trace lines on standard error (exit status $status):"; cat "$folder/err"; exit 1; }
echo "trace FIFO without a reader: lines went to standard error"
