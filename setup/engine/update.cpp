// The update: files beside the update installer replace installed ones and take their time stamps.
// All or nothing: every new file is first written completely beside its target under a temporary
// name; only then are the targets replaced, each old file kept under a temporary name until every
// replacement has succeeded. Any failure puts the installed files back as they were, and an update
// ended half-way (killed, power lost) is cleared up by the next run.
#include "engine/access_list.h"
#include "engine/display_text.h"
#include "engine/installer.h"
#include "engine/run_log.h"
#include "engine/system_library.h"
#include "engine/unattended.h"

namespace {

enum { MaxUpdateFiles = 2 * MaxFiles, UpdateBlockSize = 65536 };

// A file of the update: its source, its target and the two names beside the target, for the new
// file until it is put in place and for the old one until the update has succeeded.
struct UpdateFile {
    char source[PathSize], target[PathSize], fresh[PathSize], old[PathSize];
    DWORD oldAttributes;  // INVALID_FILE_ATTRIBUTES: nothing was installed under the name
    bool replaced;
};

UpdateFile files[MaxUpdateFiles];
char block[UpdateBlockSize];

bool temporaryNames(const char* target, char* fresh, char* old)
{
    return formatText(fresh, PathSize, "%s.new~", target) && formatText(old, PathSize, "%s.old~", target);
}

// What an update ended half-way left: a new file not yet in place is deleted; an old file kept
// aside goes back where its target is missing, and is deleted where the target is whole.
void clearInterruptedUpdate(const Installer& in)
{
    in.forEachProductFile(in.installDir, [](const char*, const char* target) {
        char fresh[PathSize], old[PathSize];
        if (!temporaryNames(target, fresh, old)) return true;
        if (SetFileAttributesA(fresh, FILE_ATTRIBUTE_NORMAL)) DeleteFileA(fresh);
        if (!Installer::pathExists(old)) return true;
        if (!Installer::pathExists(target)) {
            MoveFileA(old, target);
        } else if (SetFileAttributesA(old, FILE_ATTRIBUTE_NORMAL)) {
            DeleteFileA(old);
        }
        return true;
    });
}

// The update's file copied completely to its temporary name, with the source's time stamps and the
// access list of an installed file. False with the Windows error as the last error.
bool writeNewFile(UpdateFile& f)
{
    HANDLE from = CreateFileA(f.source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    // Always a new file: one of that name that somebody else made meanwhile is never taken over.
    HANDLE to = CreateFileA(f.fresh, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (to == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(from);
        SetLastError(error);
        return false;
    }
    bool ok = true;
    uint64_t copied = 0;
    for (DWORD got = 0; ok; copied += got) {
        DWORD put = 0;
        ok = ReadFile(from, block, sizeof block, &got, nullptr) != FALSE;
        if (!ok || got == 0) break;
        ok = WriteFile(to, block, got, &put, nullptr) && put == got;
        if (!ok && GetLastError() == NO_ERROR) SetLastError(ERROR_DISK_FULL);
    }
    // Checked as the copy run checks a file: what was written is the whole source.
    DWORD high = 0, low = GetFileSize(from, &high);
    if (ok && copied != (((uint64_t)high << 32) | low)) {
        ok = false;
        SetLastError(ERROR_HANDLE_EOF);
    }
    FILETIME created, accessed, written;
    ok = ok && GetFileTime(from, &created, &accessed, &written) && SetFileTime(to, &created, &accessed, &written);
    DWORD error = GetLastError();
    CloseHandle(from);
    if (!CloseHandle(to) && ok) {
        ok = false;
        error = GetLastError();
    }
    if (ok) lockPath(f.fresh, installedFileKind(f.target));
    SetLastError(error);
    return ok;
}

// Puts the new file in place and keeps the old one under its temporary name. Where the drive has
// hard links (NTFS) the old file gets that second name first and the new one then replaces the
// target in one step, so the target's name is never missing; elsewhere two renames.
bool replaceOne(UpdateFile& f)
{
    f.oldAttributes = GetFileAttributesA(f.target);
    if (f.oldAttributes != INVALID_FILE_ATTRIBUTES) {
        // A folder in a file's place may hold anybody's files: it is never moved aside.
        if (f.oldAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        // A read-only file is replaced too.
        SetFileAttributesA(f.target, FILE_ATTRIBUTE_NORMAL);
        typedef BOOL(WINAPI * CreateHardLinkFn)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
        CreateHardLinkFn link = (CreateHardLinkFn)(void*)loadedFunction("kernel32.dll", "CreateHardLinkA");
        bool linked = link && link(f.old, f.target, nullptr);
        if (linked ? !MoveFileExA(f.fresh, f.target, MOVEFILE_REPLACE_EXISTING) : !MoveFileA(f.target, f.old)) {
            DWORD error = GetLastError();
            if (linked) DeleteFileA(f.old);
            SetFileAttributesA(f.target, f.oldAttributes);
            SetLastError(error);
            return false;
        }
        if (linked) return f.replaced = true;
    }
    if (MoveFileA(f.fresh, f.target)) return f.replaced = true;
    DWORD error = GetLastError();
    if (f.oldAttributes != INVALID_FILE_ATTRIBUTES && MoveFileA(f.old, f.target))
        SetFileAttributesA(f.target, f.oldAttributes);
    SetLastError(error);
    return false;
}

// Every installed file as it was before the update, and no temporary file left.
void putBack(int count)
{
    for (int i = count - 1; i >= 0; --i) {
        UpdateFile& f = files[i];
        if (f.replaced && f.oldAttributes == INVALID_FILE_ATTRIBUTES) {
            DeleteFileA(f.target);
        } else if (f.replaced) {
            bool back = MoveFileExA(f.old, f.target, MOVEFILE_REPLACE_EXISTING) ||
                        (DeleteFileA(f.target) && MoveFileA(f.old, f.target));
            if (back) SetFileAttributesA(f.target, f.oldAttributes);
            if (!back) logLine("not put back: %s (error %lu)", f.target, (unsigned long)GetLastError());
        }
        f.replaced = false;
        DeleteFileA(f.fresh);
    }
}

bool updateFailed(Installer& in, const char* path, DWORD error)
{
    logLine("update failed: %s (error %lu)", path, (unsigned long)error);
    noteExit(ExitFailed);
    showMessage(in.messageOwner,
                "アップデートが正常に行われませんでした。\nもう一度ご確認の上、アップデートを行ってください。", "確認",
                MB_ICONWARNING);
    return true;
}

// Runs step on each of the first count files; on a failure every installed file is put back and
// the update fails on that file.
bool everyFile(Installer& in, int count, bool (*step)(UpdateFile&))
{
    for (int i = 0; i < count; ++i)
        if (!step(files[i])) {
            DWORD error = GetLastError();
            putBack(count);
            updateFailed(in, files[i].target, error);
            return false;
        }
    return true;
}

}  // namespace

bool Installer::applyUpdate()
{
    moduleFolder(sourceDir, sizeof sourceDir);
    cancelState = 0;
    copyFailed = 0;
    char updateFolder[PathSize];
    if (!formatText(updateFolder, sizeof updateFolder, "%s\\%s", sourceDir, folderName))
        return updateFailed(*this, sourceDir, ERROR_FILENAME_EXCED_RANGE);
    clearInterruptedUpdate(*this);
    if (!waitUntilFilesFree(installDir, updateFolder)) return false;

    int count = 0;
    uint64_t bytes = 0;
    bool fits = true;
    forEachProductFile(updateFolder, [&](const char* name, const char* source) {
        UpdateFile& f = files[count];
        if (!pathExists(source)) return true;
        fits = copyText(f.source, PathSize, source) && formatText(f.target, PathSize, "%s\\%s", installDir, name) &&
               temporaryNames(f.target, f.fresh, f.old);
        if (!fits) return false;
        f.replaced = false;
        bytes += fileSize(f.source);
        return ++count < MaxUpdateFiles;
    });
    if (!fits) return updateFailed(*this, files[count].source, ERROR_FILENAME_EXCED_RANGE);
    // Until the old files are deleted, the new ones need room of their own.
    uint32_t neededMB = (uint32_t)((bytes + (1u << 20) - 1) >> 20), freeMB = queryFreeMB(installDir);
    logLine("space: %u MB needed, %u MB free", neededMB, freeMB);
    if (neededMB > freeMB) {
        showNoSpace(freeMB, neededMB);
        return true;
    }
    if (!everyFile(*this, count, writeNewFile) || !everyFile(*this, count, replaceOne)) return true;
    for (int i = 0; i < count; ++i) {
        logLine("updated %s", files[i].target);
        if (files[i].oldAttributes != INVALID_FILE_ATTRIBUTES &&
            SetFileAttributesA(files[i].old, FILE_ATTRIBUTE_NORMAL) && !DeleteFileA(files[i].old))
            scheduleDeleteAtRestart(files[i].old);
    }
    // Installed files the update does not hold get normal attributes, as the new ones have.
    forEachProductFile(installDir, [](const char*, const char* target) {
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
        return true;
    });
    showMessage(messageOwner, "アップデートが完了しました。", "終了", MB_ICONWARNING);
    return true;
}
