#!/usr/bin/env bash
# throwaway_signer.sh <dir>: a throwaway authority (ca.pem) and a
# code-signing certificate under it, valid for two days, as signer.pem with
# signer.key and as signer.p12 with the password in pass.txt.
set -euo pipefail
ca=$1
mkdir -p "$ca"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QZ throwaway CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=QZ throwaway signer" \
  -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
  >"$ca/ext.cnf"
openssl x509 -req -days 2 -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" \
  -CAcreateserial -extfile "$ca/ext.cnf" -out "$ca/signer.pem" 2>/dev/null
echo "throwaway password" >"$ca/pass.txt"
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -passout "file:$ca/pass.txt" \
  -out "$ca/signer.p12"
