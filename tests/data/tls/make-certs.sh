#!/usr/bin/env bash
# Makes the throw-away certificates of the TLS tests: a test authority that
# the tests trust, a certificate it signs for 127.0.0.1 and localhost, one it
# signs for another host, and a self-signed one. Valid for a hundred years.
set -euo pipefail
cd "$(dirname "$0")"
days=36500
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
key ca.key
openssl req -x509 -new -key ca.key -subj "/CN=Reciplex Test Authority" -days $days -out ca.crt \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
sign() { # name subject-alt-names
  key "$1.key"
  openssl req -new -key "$1.key" -subj "/CN=$1" -out "$1.csr"
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$2" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days $days -extfile "$1.ext" -out "$1.crt" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
sign loopback "IP:127.0.0.1,DNS:localhost"
sign otherhost "DNS:other.example"
key selfsigned.key
openssl req -x509 -new -key selfsigned.key -subj "/CN=127.0.0.1" -days $days -out selfsigned.crt \
  -addext "subjectAltName=IP:127.0.0.1,DNS:localhost"
rm -f ca.key ca.srl
