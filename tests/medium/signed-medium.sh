#!/usr/bin/env bash
# The medium signed with a throwaway code-signing certificate: every program on it verifies with that
# signer, build/bin stays unsigned, the disc carries autorun.inf, and the signed setup.exe installs.
# usage: signed-medium.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$build/signing
rm -rf "$work"
mkdir -p "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Kit Test Publisher" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
printf 'throwaway\n' > "$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" -passout "file:$work/password"
python3 "$source/scripts/make-medium.py" "$build" --out "$work" --sign-pkcs12 "$work/cert.p12" \
  --sign-password-file "$work/password" >/dev/null

failed=0
fail() { echo "FAILED: $*"; failed=1; }
for program in medium/setup.exe medium/Veyla/uninst.exe medium/Veyla/tunewell.exe medium/Veyla/Veyla.exe \
  update/update.exe; do
  if ! report=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$program" 2>&1); then
    fail "$program does not verify"; echo "$report"
  elif ! grep -q 'Subject: /CN=Kit Test Publisher' <<<"$report"; then
    fail "$program has another signer"
  fi
done
osslsigncode verify -in "$build/bin/setup.exe" >/dev/null 2>&1 && fail "build/bin/setup.exe is signed"
printf '[autorun]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\nlabel=Veyla\r\n' | cmp -s - "$work/medium/autorun.inf" ||
  fail "autorun.inf"

# One installation from the signed setup.exe.
KIT_MEDIUM='y:\signing\medium' "$source/scripts/wine-run.sh" "$build/tests/setup_launcher_tests.exe" \
  --gtest_filter=Launcher.CompleteInstallationRecordLinksAndInstalledState || fail "installation from the signed medium"
[ $failed = 0 ] && echo "signed medium: every program verified, autorun.inf in place, installation done"
exit $failed
