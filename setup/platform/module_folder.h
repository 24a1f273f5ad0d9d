// The folder the running program was started from.
#pragma once
#include <stddef.h>

// The folder of the running program, without a trailing backslash; false (out empty) when its
// path cannot be had.
bool moduleFolder(char* out, size_t size);
