// Files and folders deleted when Windows restarts: on the NT family through its own list, on
// 95/98/Me through the [Rename] section of WININIT.INI.
#include "platform/restart_removal.h"

#include <string.h>

#include "platform/text.h"
#include "platform/system_library.h"

enum { RenameBlockSize = 0x8000, RenameTextLimit = 30000 };
// Ctrl-Z, with which some editors end a text file: the new lines go before it.
const char EndOfFileMark = 0x1A;

// Appends text to the section block; false when it would not fit.
static bool appendBlock(char* block, size_t& used, const char* text)
{
    size_t len = strlen(text);
    if (used + len >= RenameBlockSize) return false;
    memcpy(block + used, text, len + 1);
    used += len;
    return true;
}

// Values of the [Rename] section in file order. Several lines may share one key name (NUL=),
// so the lines are read from the section itself rather than looked up by name.
static bool appendRenameLines(const char* iniPath, char* block, size_t& used)
{
    char* section = (char*)GlobalAlloc(GMEM_FIXED, RenameBlockSize);
    if (!section) return false;
    DWORD got = GetPrivateProfileSectionA("Rename", section, RenameBlockSize, iniPath);
    bool ok = true;
    for (char* line = section; got > 0 && *line; line += strlen(line) + 1) {
        if (!appendBlock(block, used, line) || !appendBlock(block, used, "\r\n") || used > RenameTextLimit) {
            ok = false;
            break;
        }
    }
    GlobalFree(section);
    return ok;
}

// The 95/98/Me way: the [Rename] section of WININIT.INI, rewritten at the end of the file with the
// old lines and, last, "NUL=" and the file's short path.
bool scheduleDeleteInWininit(const char* iniPath, const char* shortPath)
{
    char* block = (char*)GlobalAlloc(GMEM_FIXED, RenameBlockSize);
    if (!block) return false;
    size_t used = 0;
    block[0] = '\0';
    bool ok = appendBlock(block, used, "[Rename]\r\n") && appendRenameLines(iniPath, block, used) &&
              appendBlock(block, used, "NUL=") && appendBlock(block, used, shortPath) &&
              appendBlock(block, used, "\r\n");
    if (ok) {
        WritePrivateProfileStringA("Rename", nullptr, nullptr, iniPath);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniPath);
        OFSTRUCT of = {};
        // A Windows 98 system has no WININIT.INI until some program writes one.
        bool exists = GetFileAttributesA(iniPath) != INVALID_FILE_ATTRIBUTES;
        HFILE file = OpenFile(iniPath, &of, exists ? OF_WRITE : OF_CREATE | OF_WRITE);
        ok = file != HFILE_ERROR;
        if (ok) {
            LONG end = _llseek(file, 0, FILE_END);
            char last = 0;
            // OF_WRITE opens for writing only: the last byte is read through a second handle.
            HANDLE reader = CreateFileA(iniPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            if (reader != INVALID_HANDLE_VALUE) {
                DWORD got = 0;
                if (end > 0 && SetFilePointer(reader, end - 1, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
                    ReadFile(reader, &last, 1, &got, nullptr);
                CloseHandle(reader);
            }
            _llseek(file, last == EndOfFileMark ? end - 1 : end, FILE_BEGIN);
            _lwrite(file, block, (UINT)used);
            _lclose(file);
        }
    }
    GlobalFree(block);
    return ok;
}

bool scheduleRestartDeletion(const char* path)
{
    // The NT family reads its own list; WININIT.INI is read by 95/98/Me only.
    if (ntFamily()) return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    char windows[PathSize], iniPath[PathSize], shortPath[PathSize];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows || !formatText(iniPath, sizeof iniPath, "%s\\WININIT.INI", windows)) return false;
    DWORD s = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (s == 0 || s >= sizeof shortPath) return false;
    return scheduleDeleteInWininit(iniPath, shortPath);
}
