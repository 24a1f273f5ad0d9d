#include "engine/new_target.h"

#include "engine/flush_queue.h"
#include "platform/changing_step.h"
#include "platform/run_log.h"

HANDLE createNewTarget(const char* target, DWORD access, SECURITY_ATTRIBUTES* security, FlushQueue* flushes)
{
    changingStep();
    HANDLE file = CreateFileA(target, access, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        // An earlier installation's file, read-only or not, goes; a name that cannot be freed
        // (held open, a folder, not this run's to delete) is never written through. A file of this
        // run written again is first let go by its flush.
        if (flushes) flushes->waitFor(target);
        DWORD attributes = GetFileAttributesA(target);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(target, attributes & ~FILE_ATTRIBUTE_READONLY);  // the delete says whether it helped
        if (DeleteFileA(target))
            file = CreateFileA(target, access, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) logLine("cannot place: %s (error %lu)", target, (unsigned long)GetLastError());
    return file;
}
