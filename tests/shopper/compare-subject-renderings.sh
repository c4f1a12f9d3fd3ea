#!/bin/sh
# Renders the same certificates with the Linux build (OpenSSL) and the Windows
# build (crypt32 under wine64) and fails when the texts differ. Skips (77)
# when the Linux build's renderer has not been built.
#   compare-subject-renderings.sh LINUX_RENDERER WINE_RUNNER WINDOWS_RENDERER CERTIFICATE_FOLDER
set -eu
linux=$1 runner=$2 windows=$3 folder=$4
if [ ! -x "$linux" ]; then
  echo "no Linux renderer at $linux: build the native preset first"
  exit 77
fi
files=$(ls "$folder"/*.der)
expected=$("$linux" $files)
# Windows paths: the same files on drive Z:; line ends without CR.
actual=$("$runner" "$windows" $(for f in $files; do printf 'Z:%s ' "$f"; done) | tr -d '\r')
echo "$expected"
if [ "$expected" != "$actual" ]; then
  echo "crypt32 renders differently:"
  echo "$actual"
  exit 1
fi
