// How the copy and the extraction place each file: made new, never written through what was there.
#pragma once
#include <windows.h>

class FlushQueue;

// A file of the installation at target, made new and opened with access (an existing file is
// deleted first, its read-only attribute cleared, once flushes no longer hold it where given), with
// security's access list where given; INVALID_HANDLE_VALUE, logged with the error, where the name
// cannot be freed.
HANDLE createNewTarget(const char* target, DWORD access, SECURITY_ATTRIBUTES* security = nullptr,
                       FlushQueue* flushes = nullptr);
