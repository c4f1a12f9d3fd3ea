#!/bin/sh
# Makes the certificate tests' files with the openssl CLI: DER files named for
# what their subjects hold, the same as base64 text (.b64), what the CLI reads
# from each (.txt), and two byte strings that are no certificate.
#   make-test-certificates.sh OUTPUT_FOLDER
set -eu
out=$1
mkdir -p "$out"
key="$out/key.pem"
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$key" 2>/dev/null

make() {
  openssl req -x509 -new -key "$key" -subj "$2" -days 2 -outform DER -out "$out/$1.der" 2>/dev/null
  openssl base64 -A -in "$out/$1.der" -out "$out/$1.b64"
  openssl x509 -inform DER -in "$out/$1.der" -noout -nameopt utf8,sep_comma_plus_space,space_eq,sname \
    -subject -issuer -serial -dates -dateopt iso_8601 -fingerprint -sha256 > "$out/$1.txt"
}

make capitals '/C=NO/O=Orvella Test/CN=Store.ORVELLA.Com'
make longer_host '/C=NO/O=Shop at secure.orvella.com.eu today/CN=secure.orvella.com.evil.example'
make port_and_path '/C=NO/O=secure.orvella.com.evil.example:443/CN=Secure.Orvella.com:8443\/checkout'
make several '/CN=first.orvella.com/O=second.orvella.com/OU=third.orvella.com'
make none '/C=DE/L=Berlin/O=Example GmbH/CN=store.example.com/emailAddress=someone@example.com'
make subject_query '/CN=attacker.test?.orvella.com'
make subject_backslash '/CN=attacker.test\\.orvella.com'
make subject_fragment '/CN=attacker.test#.orvella.com'
make subject_userinfo '/CN=x@attacker.test\/.orvella.com'
make subject_domain_first '/CN=orvella.com.attacker.test'
make subject_no_boundary '/CN=xorvella.com'
make subject_port '/CN=secure.orvella.com:8443'
make subject_capitals '/CN=Secure.Orvella.COM'
make quoted '/C=NO/O=Comma, Inc/OU= padded /CN=a.orvella.com+OU=second value'
make markup '/O=A & B "C"/OU=<img src=x onerror=zunInjected=2>/CN=<script>zunInjected=1<\/script>'
head -c 150 "$out/capitals.der" > "$out/truncated.der"
printf 'not a certificate' > "$out/garbage.der"
rm -f "$key"
