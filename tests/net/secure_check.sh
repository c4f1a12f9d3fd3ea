#!/bin/sh
# zunclient's update check over the engine's own secure session, to a store
# host named with port 443. Runs as root in network and mount namespaces of
# its own: the local store server listens on port 443 of loopback and
# /etc/hosts names it secure.orvella.com and other.orvella.com. With
# "trusted" the machine's certificate folder holds only the server's
# certificate, as a machine that trusts it would; "wrongname" trusts it too
# but asks for other.orvella.com, which the certificate does not name;
# "untrusted" keeps the system's folder.
#   secure_check.sh trusted|wrongname|untrusted ZUNCLIENT STORE_SERVER
set -eu
mode=$1 client=$2 server=$3
work=$(mktemp -d)
trap 'python3 "$server" --stop --pid-file "$work/pid" || true; rm -rf "$work"' EXIT

ip link set lo up
python3 "$server" --daemon --pid-file "$work/pid" --port 443 --certificate-file "$work/certificate"
printf '127.0.0.1 secure.orvella.com other.orvella.com\n' > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts
if [ "$mode" != untrusted ]; then
  mkdir "$work/certs"
  {
    echo "-----BEGIN CERTIFICATE-----"
    tr -d "\n" < "$work/certificate" | fold -w 64
    echo
    echo "-----END CERTIFICATE-----"
  } > "$work/certs/ca-certificates.crt"
  mount --bind "$work/certs" /etc/ssl/certs
fi
host=secure.orvella.com
[ "$mode" = wrongname ] && host=other.orvella.com
ZUN_STORE_HOST=$host:443 "$client" check-update --vantor update
