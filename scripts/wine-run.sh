#!/usr/bin/env bash
# Runs a Windows program of the build on the test bench: the project's Wine prefix, the Japanese
# locale and the bench's display, as the unprivileged bench user. CTest runs every test this way.
. "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
# A program of the build is named by its drive path (y:), so that it sees its own folder as Windows
# would rather than as a \\?\unix path; the current folder is the build's root.
prog=$1; shift
[ -e "$prog" ] && prog=$(realpath "$prog")
case "$prog" in
  "$KIT_BUILD"/*) rel=${prog#"$KIT_BUILD"/}; prog="y:\\${rel//\//\\}" ;;
esac
cd "$KIT_BUILD"
# shellcheck disable=SC2046
exec "${KIT_AS_USER[@]}" $(kit_env) wine "$prog" "$@"
