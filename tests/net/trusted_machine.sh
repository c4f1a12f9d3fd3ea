#!/bin/sh
# Runs a test program as on a machine that trusts the local store server's
# certificate: in a mount namespace of its own (unshare -m), a folder that
# holds only that certificate is bound over /etc/ssl/certs, the machine's
# trust store for libcurl and for Wine's root store alike.
#   trusted_machine.sh STORE_ADDRESS PROGRAM [ARGS...]
set -eu
address=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1]).read().decode())' \
  "http://$address/_certificate" > "$work/certificate"
mkdir "$work/certs"
{
  echo "-----BEGIN CERTIFICATE-----"
  tr -d "\n" < "$work/certificate" | fold -w 64
  echo
  echo "-----END CERTIFICATE-----"
} > "$work/certs/ca-certificates.crt"
mount --bind "$work/certs" /etc/ssl/certs
ZUN_MACHINE_TRUSTS_STORE=1 "$@"
