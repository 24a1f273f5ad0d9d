#!/bin/sh
# Compiler launcher of the test programs: GoogleTest needs std::mutex, which only the posix thread
# model of mingw-w64 has. The shipped programs keep the toolchain's win32 model (no winpthreads).
# Other tools (the archiver) run as they are.
tool=$1
shift
case "$tool" in
*-win32) exec "${tool%-win32}-posix" "$@" ;;
*) exec "$tool" "$@" ;;
esac
