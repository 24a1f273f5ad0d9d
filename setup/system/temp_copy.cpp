// Programs that run from a copy in the temporary folder, removed when Windows restarts.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "config/kit_names.h"
#include "platform/access_list.h"
#include "platform/display_text.h"
#include "state/installer.h"
#include "system/temp_copy.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "state/copy_state.h"
#include "platform/module_folder.h"
#include "system/shell_launch.h"
#include "platform/restart_removal.h"

// Numbered copies run from base01.exe to base99.exe.
enum { LastTempNumber = 99 };

static bool tempFolder(char* out, size_t size)
{
    memset(out, 0, size);
    DWORD n = GetTempPathA((DWORD)size, out);
    if (n == 0 || n >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

// Bytes nobody can tell beforehand: the system's random source where it has one (XP on), else a
// mix of clocks and identifiers (Windows 2000, whose folder's access list still keeps others out).
static void unpredictableBytes(DWORD* out, int count)
{
    typedef BOOLEAN(WINAPI * RandomFn)(PVOID, ULONG);
    RandomFn random = (RandomFn)(void*)loadedFunction("advapi32.dll", "SystemFunction036");
    if (random && random(out, (ULONG)count * (ULONG)sizeof(DWORD))) return;
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    DWORD mix = counter.LowPart ^ (GetTickCount() << 7) ^ (GetCurrentProcessId() << 16) ^ GetCurrentThreadId();
    for (int i = 0; i < count; ++i) {
        mix = mix * 1103515245u + 12345u + (DWORD)counter.HighPart + (DWORD)(ULONG_PTR)&mix;
        out[i] = mix ^ (mix >> 15);
    }
}

// A new folder of this process in the temporary folder, with a name nobody can tell beforehand;
// on the NT family only this user, Administrators and SYSTEM may use it. Out: its path.
static bool makePrivateFolder(char* out, size_t size)
{
    char temp[PathSize];
    if (!tempFolder(temp, sizeof temp)) return false;
    AccessList list;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    if (buildAccessList(OwnerOnly, list)) attributes.lpSecurityDescriptor = &list.descriptor;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD name[2];
        unpredictableBytes(name, 2);
        if (!formatText(out, size, "%skit%08lx%08lx", temp, (unsigned long)name[0], (unsigned long)name[1])) break;
        if (CreateDirectoryA(out, &attributes)) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    out[0] = '\0';
    return false;
}

void showNotInstalledNotice()
{
    showMessage(
        nullptr,
        "この実行ファイルはアンインストーラです。\n現在ゲームがインストールされていません。\nインストールされている状態でアンインストールを行ってください。",
        "注意", MB_OK);
}

void Installer::startUninstallerCopy()
{
    if (installed == GameNotInstalled) {
        showNotInstalledNotice();
        return;
    }
    char copy[PathSize];
    HANDLE held = nullptr;
    if (placeUninstallerCopy(*this, copy, sizeof copy, held)) shellLaunch(copy, "/r", LaunchOpen);
    if (held) CloseHandle(held);
}

bool placeUninstallerCopy(Installer& in, char* copy, size_t size, HANDLE& held)
{
    return in.copyToTemp(UninstallerName, in.installDir, nullptr, copy, size, held);
}

void Installer::relaunchFromTemp()
{
    char own[PathSize], copy[PathSize];
    HANDLE held = nullptr;
    if (moduleFolder(own, sizeof own) && copyToTemp("setup.exe", own, "setup", copy, sizeof copy, held))
        shellLaunch(copy, "/r", LaunchOpen);
    if (held) CloseHandle(held);
}

bool Installer::findFreeTempName(const char* folder, const char* base, char* out, size_t size)
{
    memset(out, 0, size);
    for (int n = 1; n <= LastTempNumber; ++n) {
        char probe[PathSize];
        if (!formatText(probe, sizeof probe, "%s\\%s%02d.exe", folder, base, n)) break;
        FILE* f = fopen(probe, "rb");
        if (!f) return formatText(out, size, "%s%02d.exe", base, n);
        fclose(f);
    }
    formatText(out, size, "%s.exe", base);
    return false;
}

bool Installer::copyToTemp(const char* fileName, const char* sourceFolder, const char* numberedBase, char* out,
                           size_t size, HANDLE& held)
{
    char folder[PathSize], source[PathSize], name[PathSize];
    memset(out, 0, size);
    held = nullptr;
    // The 95/98/Me family has no permissions: its copy goes into the temporary folder itself.
    bool nt = ntFamily();
    if (!formatText(source, sizeof source, "%s\\%s", sourceFolder, fileName) ||
        !(nt ? makePrivateFolder(folder, sizeof folder) : tempFolder(folder, sizeof folder)))
        return false;
    dropTrailingBackslash(folder);
    if (numberedBase)
        findFreeTempName(folder, numberedBase, name, sizeof name);
    else
        copyText(name, sizeof name, fileName);
    bool copied = formatText(out, size, "%s\\%s", folder, name) && CopyFileA(source, out, nt);
    if (!copied && !nt && out[0] != '\0') {
        SetFileAttributesA(out, FILE_ATTRIBUTE_NORMAL);
        copied = CopyFileA(source, out, FALSE) != FALSE;
    }
    if (!copied) {
        if (nt) RemoveDirectoryA(folder);
        out[0] = '\0';
        return false;
    }
    SetFileAttributesA(out, FILE_ATTRIBUTE_NORMAL);
    // Held so until the caller has started it: nobody may change or replace it meanwhile, and a
    // program held open for reading alone can still be started.
    held = CreateFileA(out, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) held = nullptr;
    // The restart removes the copy and then its own folder, empty by then; where it cannot be
    // scheduled the copy stays in the temporary folder, which harms nothing.
    if (!scheduleRestartDeletion(out)) logLine("not removed at restart: %s", out);
    if (nt && !scheduleRestartDeletion(folder)) logLine("not removed at restart: %s", folder);
    return true;
}
