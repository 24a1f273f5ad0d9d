#!/usr/bin/env bash
# The bootstrap's package installs against a stand-in apt-get on PATH (no network, no root): a refresh
# that fails is retried and then left, an install that does not resolve is tried with the release as
# the target, and one that cannot be had stops with the failing index and the command to try later.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat > "$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
# Fails the first $FAIL_UPDATES refreshes and the first $FAIL_INSTALLS installs; logs every call.
echo "$*" >> "$STUB_DIR/calls"
kind=install; [[ " $* " == *" update "* ]] && kind=update
n=$(( $(cat "$STUB_DIR/$kind" 2>/dev/null || echo 0) + 1 )); echo $n > "$STUB_DIR/$kind"
limit=$FAIL_INSTALLS; [ $kind = update ] && limit=$FAIL_UPDATES
[ $n -gt "$limit" ] && exit 0
[ $kind = update ] && echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
[ $kind = install ] && echo "E: Unable to correct problems, you have held broken packages." >&2
exit 100
STUB
chmod +x "$work/bin/apt-get"
printf 'VERSION_CODENAME=bookworm\n' > "$work/os-release"
export PATH="$work/bin:$PATH" STUB_DIR=$work KIT_APT_PAUSE=0 KIT_OS_RELEASE=$work/os-release
passed=0 failed=0
check() { if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi; }
# One case: refresh and install with the given failure counts, in a subshell (apt_install may exit).
run() {
  rm -f "$work/calls" "$work/update" "$work/install"
  FAIL_UPDATES=$1 FAIL_INSTALLS=$2 bash -c ". '$here/../../scripts/apt-install.sh'; apt_refresh; apt_install wine32:i386 fonts-wine" \
    > "$work/out" 2>&1
  rc=$?
}
calls() { grep -c "$1" "$work/calls"; }

run 1 0
check "a refresh that fails once is tried again and says nothing" \
  '[ $rc = 0 ] && [ "$(calls update)" = 2 ] && ! grep -q "not refreshed" "$work/out"'
run 9 1
check "a refresh that keeps failing is tried three times, then named in one line, and the set-up goes on" \
  '[ $rc = 0 ] && [ "$(calls update)" = 3 ] && [ "$(grep -c "not refreshed.*binary-i386/Packages.xz" "$work/out")" = 1 ]'
check "an install that does not resolve is tried again with the release as the target" \
  '[ "$(calls install)" = 2 ] && grep -q -- "install -y -qq --no-install-recommends -t bookworm wine32:i386 fonts-wine" "$work/calls"'
run 9 9
check "an install that cannot be had stops with the index that failed and the command to try later" \
  '[ $rc = 1 ] && grep -q "did not serve: http://mirror/.*binary-i386/Packages.xz" "$work/out" && grep -q "make bootstrap" "$work/out"'
echo "$passed passed, $failed failed"
[ $failed = 0 ]
