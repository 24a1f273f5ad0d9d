// What the copy run shares between the install thread and the copy worker beside the Installer's
// fields: whether the game is installed, the cancel protocol, the bytes copied.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "state/installer.h"

// installed: whether the game is installed (from the record at start, then by installation and removal).
enum InstalledState : int32_t { GameNotInstalled = 0, GameInstalled = 1 };

// The copy's cancel protocol (cancelState): the launcher asks, the plain-file copy stops, then the
// worker; each state has one writer.
enum CancelState : LONG { CancelNone = 0, CancelRequested = 1, CancelCopyStopped = 2, CancelWorkerStopped = 3 };

// bytesCopied is written by the worker and read by the install thread; on a 32-bit processor a
// plain 64-bit access could be torn into two halves, so both sides go through these.
inline uint64_t loadBytesCopied(const Installer& in) { return __atomic_load_n(&in.bytesCopied, __ATOMIC_RELAXED); }
inline void storeBytesCopied(Installer& in, uint64_t v) { __atomic_store_n(&in.bytesCopied, v, __ATOMIC_RELAXED); }
