#include "platform/held_folder.h"

#include <winternl.h>

#include "platform/run_log.h"
#include "platform/system_library.h"

namespace {

typedef NTSTATUS(NTAPI* NtCreateFileFn)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef NTSTATUS(NTAPI* NtSetInformationFileFn)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
typedef ULONG(NTAPI* NtStatusToErrorFn)(NTSTATUS);

// The native calls that open a name relative to a folder's handle and change a file through its
// own; every NT system has them, 95/98/Me none.
struct NativeCalls {
    NtCreateFileFn create;
    NtSetInformationFileFn setInformation;
    NtStatusToErrorFn toError;
};

const NativeCalls* nativeCalls()
{
    static NativeCalls calls = {
        (NtCreateFileFn)(void*)loadedFunction("ntdll.dll", "NtCreateFile"),
        (NtSetInformationFileFn)(void*)loadedFunction("ntdll.dll", "NtSetInformationFile"),
        (NtStatusToErrorFn)(void*)loadedFunction("ntdll.dll", "RtlNtStatusToDosError"),
    };
    return ntFamily() && calls.create && calls.setInformation && calls.toError ? &calls : nullptr;
}

const DWORD HeldAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
const DWORD DeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
const ULONG NoFollow = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;

bool absentError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// A name of the system's code page relative to a folder's handle, for the native calls.
struct RelativeName {
    WCHAR text[PathSize];
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
};

bool relativeName(HANDLE folder, const char* name, RelativeName& out)
{
    int n = MultiByteToWideChar(CP_ACP, 0, name, -1, out.text, PathSize);
    if (n <= 1) return false;
    out.name.Buffer = out.text;
    out.name.Length = (USHORT)((n - 1) * sizeof(WCHAR));
    out.name.MaximumLength = (USHORT)(n * sizeof(WCHAR));
    InitializeObjectAttributes(&out.attributes, &out.name, OBJ_CASE_INSENSITIVE, folder, nullptr);
    return true;
}

// Opens name in folder without following a link; the last error says why not.
HANDLE openRelative(const NativeCalls& nt, RelativeName& name, DWORD access, ULONG share, ULONG options)
{
    HANDLE object = INVALID_HANDLE_VALUE;
    IO_STATUS_BLOCK io;
    NTSTATUS status =
        nt.create(&object, access, &name.attributes, &io, nullptr, 0, share, FILE_OPEN, options, nullptr, 0);
    if (status < 0) {
        SetLastError(nt.toError(status));
        return INVALID_HANDLE_VALUE;
    }
    return object;
}

// A folder's handle kept as the hold, once it shows no link; a link found only now is refused.
Hold keepHeld(HANDLE object, HeldFolder& out)
{
    if (object == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (absentError(error)) return Hold::Absent;
        logLine("not held: %s (error %lu)", out.path, (unsigned long)error);
        return Hold::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(object, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(object);
        return Hold::Linked;
    }
    out.handle = object;
    return Hold::Held;
}

// What the attributes found by a name say of a folder to hold: a link (some systems show it only
// by its name, and follow it when it is opened) or a file is refused.
Hold folderByAttributes(DWORD attributes, const char* path)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Hold::Linked;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        logLine("not a folder: %s", path);
        return Hold::Refused;
    }
    return Hold::Held;
}

// A file to delete: opened again by its name inside the held folder (relative set), or by its path.
struct FileName {
    const NativeCalls& nt;
    RelativeName* relative;
    const char* path;
};

HANDLE openFile(const FileName& file, DWORD access)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (file.relative) return openRelative(file.nt, *file.relative, access, share, NoFollow);
    return CreateFileA(file.path, access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// What the opened file is: a folder (or a link to one) is left, a link to a file goes as a link, a
// file with a second name is another's; Deleted for one that may go.
Deletion judgeOpened(const BY_HANDLE_FILE_INFORMATION& info, bool link, const char* path)
{
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Deletion::NotAFile;
    if (link || info.nNumberOfLinks <= 1) return Deletion::Deleted;
    logLine("a file with a second name, left: %s", path);
    return Deletion::SecondName;
}

// A read-only file made writable through its handle (times of 0 stay as they are), so that it can be
// deleted; false where the system would not.
bool makeWritable(const NativeCalls& nt, HANDLE object, const BY_HANDLE_FILE_INFORMATION& info)
{
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) return true;
    FILE_BASIC_INFORMATION basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    IO_STATUS_BLOCK io;
    return nt.setInformation(object, &io, &basic, sizeof basic, FileBasicInformation) >= 0;
}

// Closes object, keeping the last error of what went before.
void closeKeepingError(HANDLE object)
{
    DWORD error = GetLastError();
    CloseHandle(object);
    SetLastError(error);
}

// The file opened as object (with the right to delete it) deleted through its handle, where
// judgeOpened lets it go; a plain file loses its read-only attribute first. The handle is closed.
Deletion deleteOpened(const NativeCalls& nt, HANDLE object, bool namedAsLink, const char* path)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(object, &info)) {
        closeKeepingError(object);
        return Deletion::Failed;
    }
    bool link = namedAsLink || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    Deletion result = judgeOpened(info, link, path);
    if (result == Deletion::Deleted && !link)
        (void)makeWritable(nt, object, info);  // the deletion says whether it helped
    DWORD error = ERROR_SUCCESS;
    IO_STATUS_BLOCK io;
    if (result == Deletion::Deleted) {
        FILE_DISPOSITION_INFORMATION disposition = {TRUE};
        NTSTATUS status = nt.setInformation(object, &io, &disposition, sizeof disposition, FileDispositionInformation);
        if (status < 0) {
            error = nt.toError(status);
            result = Deletion::Failed;
        }
    }
    CloseHandle(object);
    SetLastError(error);
    return result;
}

// Some systems (Wine) refuse the right to delete a read-only file when it is opened: it is opened
// without it, judged and made writable through that handle, then opened again with it, and deleted
// only when the second handle is the same file as the first (which stays open meanwhile).
Deletion deleteReadOnly(const FileName& file, bool namedAsLink)
{
    HANDLE first = openFile(file, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE);
    // Wine refuses even the right to write its attributes, and changes them without it.
    if (first == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        first = openFile(file, FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    BY_HANDLE_FILE_INFORMATION info, again;
    if (first == INVALID_HANDLE_VALUE) return Deletion::Failed;
    if (!GetFileInformationByHandle(first, &info)) {
        closeKeepingError(first);
        return Deletion::Failed;
    }
    bool link = namedAsLink || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    Deletion result = judgeOpened(info, link, file.path);
    if (result == Deletion::Deleted && !link)
        (void)makeWritable(file.nt, first, info);  // the second open says whether it helped
    HANDLE second = result == Deletion::Deleted ? openFile(file, DeleteAccess) : INVALID_HANDLE_VALUE;
    if (second != INVALID_HANDLE_VALUE && GetFileInformationByHandle(second, &again) &&
        again.dwVolumeSerialNumber == info.dwVolumeSerialNumber && again.nFileIndexHigh == info.nFileIndexHigh &&
        again.nFileIndexLow == info.nFileIndexLow) {
        result = deleteOpened(file.nt, second, link, file.path);
    } else if (result == Deletion::Deleted) {
        if (second != INVALID_HANDLE_VALUE) closeKeepingError(second);
        result = Deletion::Failed;
    }
    closeKeepingError(first);
    return result;
}

// The file of that name deleted through a handle of its own.
Deletion deleteNamed(const FileName& file, bool namedAsLink)
{
    HANDLE object = openFile(file, DeleteAccess);
    if (object != INVALID_HANDLE_VALUE) return deleteOpened(file.nt, object, namedAsLink, file.path);
    DWORD error = GetLastError();
    if (absentError(error)) return Deletion::Absent;
    return error == ERROR_ACCESS_DENIED ? deleteReadOnly(file, namedAsLink) : Deletion::Failed;
}

// 95/98/Me: no links, no second names, nothing to hold; the file at path goes by its path.
Deletion deleteByPath(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return Deletion::Absent;
    FindClose(search);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Deletion::NotAFile;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);  // the delete says whether it helped
    return DeleteFileA(path) ? Deletion::Deleted : Deletion::Failed;
}

}  // namespace

Hold holdFolder(const char* path, bool removable, HeldFolder& out)
{
    out.handle = INVALID_HANDLE_VALUE;
    if (!copyText(out.path, sizeof out.path, path)) return Hold::Refused;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return absentError(GetLastError()) ? Hold::Absent : keepHeld(INVALID_HANDLE_VALUE, out);
    Hold shown = folderByAttributes(attributes, path);
    if (shown != Hold::Held || !nativeCalls()) return shown;
    // Without delete sharing: nobody may rename or delete it meanwhile; a folder that another
    // program keeps open (a current folder) is held without the right to remove it.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE,
                flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE object =
        CreateFileA(path, HeldAccess | (removable ? DELETE : 0), share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (object == INVALID_HANDLE_VALUE && removable && GetLastError() == ERROR_SHARING_VIOLATION)
        object = CreateFileA(path, HeldAccess, share, nullptr, OPEN_EXISTING, flags, nullptr);
    return keepHeld(object, out);
}

Hold holdSubfolder(const HeldFolder& parent, const char* name, bool removable, HeldFolder& out)
{
    char path[PathSize];
    out.handle = INVALID_HANDLE_VALUE;
    if (!formatText(path, sizeof path, "%s\\%s", parent.path, name)) return Hold::Refused;
    const NativeCalls* nt = nativeCalls();
    if (!nt || parent.handle == INVALID_HANDLE_VALUE) return holdFolder(path, removable, out);
    copyText(out.path, sizeof out.path, path);
    // The name's attributes only add refusals (some systems show a link by its name alone); what is
    // held is what the handle, opened inside the held parent, shows.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return absentError(GetLastError()) ? Hold::Absent : keepHeld(INVALID_HANDLE_VALUE, out);
    Hold shown = folderByAttributes(attributes, path);
    RelativeName relative;
    if (shown != Hold::Held) return shown;
    if (!relativeName(parent.handle, name, relative)) return Hold::Refused;
    const ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE, options = NoFollow | FILE_DIRECTORY_FILE;
    HANDLE object = openRelative(*nt, relative, HeldAccess | (removable ? DELETE : 0), share, options);
    if (object == INVALID_HANDLE_VALUE && removable && GetLastError() == ERROR_SHARING_VIOLATION)
        object = openRelative(*nt, relative, HeldAccess, share, options);
    return keepHeld(object, out);
}

void releaseFolder(HeldFolder& held)
{
    if (held.handle != INVALID_HANDLE_VALUE) CloseHandle(held.handle);  // a handle of our own: nothing to lose
    held.handle = INVALID_HANDLE_VALUE;
}

bool removeHeldFolder(HeldFolder& held)
{
    const NativeCalls* nt = nativeCalls();
    if (!nt) return RemoveDirectoryA(held.path) != FALSE;
    if (held.handle == INVALID_HANDLE_VALUE) return false;
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK io;
    bool removed =
        nt->setInformation(held.handle, &io, &disposition, sizeof disposition, FileDispositionInformation) >= 0;
    releaseFolder(held);
    return removed;
}

Deletion deleteFileIn(const HeldFolder& folder, const char* name)
{
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", folder.path, name)) return Deletion::Failed;
    const NativeCalls* nt = nativeCalls();
    if (!nt || folder.handle == INVALID_HANDLE_VALUE) return deleteFileAt(path);
    // The name's attributes only tell a link that some systems show by its name alone, and spare
    // the opening of names that are not there; the handle opened inside the held folder decides.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES && absentError(GetLastError())) return Deletion::Absent;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Deletion::NotAFile;
    bool link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    RelativeName relative;
    if (!relativeName(folder.handle, name, relative)) return Deletion::Failed;
    HANDLE object =
        openRelative(*nt, relative, DeleteAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NoFollow);
    if (object == INVALID_HANDLE_VALUE) return absentError(GetLastError()) ? Deletion::Absent : Deletion::Failed;
    return deleteOpened(*nt, object, link, path);
}

Deletion deleteFileAt(const char* path)
{
    const NativeCalls* nt = nativeCalls();
    if (!nt) return deleteByPath(path);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return absentError(GetLastError()) ? Deletion::Absent : Deletion::Failed;
    bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Deletion::NotAFile;
    return deleteNamed(FileName{*nt, nullptr, path}, link);
}
