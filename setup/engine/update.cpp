// The update: files beside the update installer replace installed ones and take their time stamps.
#include "engine/installer.h"
#include "engine/display_text.h"
#include "engine/unattended.h"

// Returns false when the update has to stop (the target could not be opened afterwards).
static bool updateOne(Installer& in, const char* name)
{
    char source[PathSize], target[PathSize];
    if (!formatText(source, sizeof source, "%s\\%s\\%s", in.sourceDir, in.folderName, name) ||
        !formatText(target, sizeof target, "%s\\%s", in.installDir, name))
        return true;
    in.copyFile(target, source);
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (from == INVALID_HANDLE_VALUE) return true;
    HANDLE to = CreateFileA(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (to == INVALID_HANDLE_VALUE) {
        CloseHandle(from);
        return false;
    }
    FILETIME created, accessed, written;
    if (GetFileTime(from, &created, &accessed, &written)) SetFileTime(to, &created, &accessed, &written);
    CloseHandle(from);
    CloseHandle(to);
    return true;
}

void Installer::applyUpdate()
{
    moduleFolder(sourceDir, sizeof sourceDir);
    cancelState = 0;
    copyFailed = 0;
    NameList lists[2] = {installFiles, extraFiles};
    for (NameList list : lists)
        for (int i = 0; list && list[i][0] != '\0'; ++i)
            if (!updateOne(*this, list[i])) {
                noteExit(ExitFailed);
                return;
            }
    showMessage(messageOwner, "アップデートが完了しました。", "終了", MB_ICONWARNING);
}
