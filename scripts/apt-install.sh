# Package installs for the bootstrap and the emulator set-up, tolerant of an archive mid-update.
# Sourced, not run. A mirror in the middle of a sync can serve one index older than its release file
# ("File has unexpected size ... Mirror sync in progress?"): the refresh is retried, and when an index
# still fails the set-up goes on with the lists it has. An install that then does not resolve (the
# amd64 candidate of a library from one suite, its i386 twin missing from the stale index, while
# Wine's 32-bit packages need the same version on both) is tried again with the release's main
# suite as the target release, where both architectures are in step.

# Seconds between two tries of the refresh; the tests set 0.
KIT_APT_PAUSE=${KIT_APT_PAUSE:-15}
# The indexes the last refresh could not fetch, one URL a line (empty when all came).
KIT_APT_FAILED_INDEXES=""

# Refreshes the package lists (with apt-get's options, if any, for lists of their own): three tries;
# never fails, and says in one line what it went on without.
apt_refresh() {
  local try out
  for try in 1 2 3; do
    if out=$(apt-get "$@" update -qq 2>&1); then
      KIT_APT_FAILED_INDEXES=""
      return 0
    fi
    KIT_APT_FAILED_INDEXES=$(printf '%s\n' "$out" | sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p')
    [ -n "$KIT_APT_FAILED_INDEXES" ] || KIT_APT_FAILED_INDEXES=$(printf '%s\n' "$out" | grep '^E:' | head -n 1)
    [ "$try" = 3 ] || sleep "$KIT_APT_PAUSE"
  done
  echo "bootstrap: package index not refreshed, going on with the lists there are: $(printf '%s' "$KIT_APT_FAILED_INDEXES" | tr '\n' ' ')"
  return 0
}

# The code name of the release this machine runs (bookworm on Debian 12).
apt_release() {
  local VERSION_CODENAME=""
  # shellcheck disable=SC1091
  [ -r "${KIT_OS_RELEASE:-/etc/os-release}" ] && . "${KIT_OS_RELEASE:-/etc/os-release}"
  printf '%s' "$VERSION_CODENAME"
}

# Installs the named packages (no recommends); falls back to the release's main suite; stops the
# set-up with a message that names what failed and the command to try later.
apt_install() {
  export DEBIAN_FRONTEND=noninteractive
  local release
  if apt-get install -y -qq --no-install-recommends "$@" >/dev/null; then return 0; fi
  release=$(apt_release)
  if [ -n "$release" ]; then
    echo "bootstrap: the install did not resolve; trying again with $release as the target release"
    if apt-get install -y -qq --no-install-recommends -t "$release" "$@" >/dev/null; then return 0; fi
  fi
  echo "bootstrap: cannot install $*" >&2
  [ -n "$KIT_APT_FAILED_INDEXES" ] &&
    echo "bootstrap: the package archive did not serve: $(printf '%s' "$KIT_APT_FAILED_INDEXES" | tr '\n' ' ')" >&2
  echo "bootstrap: the archive may be mid-update; try again later: make bootstrap" >&2
  exit 1
}
