#!/bin/sh
# Fails when the Linux build (OpenSSL) and the Windows build (crypt32 under
# wine64) render the certificates' subjects differently; 77 (skip) without
# the Linux build's renderer.
#   compare-subject-renderings.sh LINUX_RENDERER WINE_RUNNER WINDOWS_RENDERER CERTIFICATE_FOLDER
set -eu
[ -x "$1" ] || { echo "no Linux renderer at $1: build the native preset first"; exit 77; }
files=$(ls "$4"/*.der)
expected=$("$1" $files)
actual=$("$2" "$3" $(for f in $files; do printf 'Z:%s ' "$f"; done) | tr -d '\r')
echo "$expected"
[ "$expected" = "$actual" ] || { printf 'crypt32 renders differently:\n%s\n' "$actual"; exit 1; }
