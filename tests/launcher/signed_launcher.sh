#!/usr/bin/env bash
# A packed launcher signed with a throwaway self-signed certificate: the signature
# verifies, the tool's verify passes it and says it is signed, and refuses a copy changed
# in a way that keeps the checksum; the signed launcher still unpacks and runs its program.
set -euo pipefail
tool=$1
sample=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tool" pack --quiet "$sample" -o "$work/unsigned.exe" --spec '{PROGRAM_DIR}\signed-target'
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=kovran-onefile test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Sample App" -h sha256 \
  -in "$work/unsigned.exe" -out "$work/signed.exe" >/dev/null
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; exit 1; }

checked=$("$tool" verify "$work/signed.exe") || { echo "verify refused: $checked"; exit 1; }
grep -q "signed.exe: signed after packing (a certificate table of " <<<"$checked" ||
  { echo "verify did not say signed: $checked"; exit 1; }
if "$tool" verify "$work/unsigned.exe" | grep -q "signed after packing"; then echo "unsigned called signed"; exit 1; fi
# A letter of the DOS stub one up, the one two bytes later one down: the same PE checksum.
python3 - "$work/signed.exe" "$work/same-sum.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"This program")
data[at] += 1
data[at + 2] -= 1
open(sys.argv[2], "wb").write(data)
PY
if "$tool" verify "$work/same-sum.exe" 2>"$work/same-sum.log"; then echo "a changed stub passed"; exit 1; fi
grep -q "its SHA-256 differs" "$work/same-sum.log" || { cat "$work/same-sum.log"; exit 1; }

output=$("$root/scripts/wine-run.sh" "$work/signed.exe" signed)
grep -q "hello from greeting.dll" <<<"$output" || { echo "unexpected output: $output"; exit 1; }
[ -f "$work/signed-target/greeting.dll" ] || { echo "nothing unpacked"; exit 1; }
echo "signed, verified and ran under Wine"
