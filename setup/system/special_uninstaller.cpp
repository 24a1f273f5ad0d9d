#include "system/special_uninstaller.h"
#include "platform/display_text.h"

#include <string.h>

#include "engine/installer.h"

// The earlier products' executable names are copied bounded to this many bytes.
enum { EarlierExeNameSize = 32 };

// Dresses the installer as an earlier product found through its README link and removes it.
static void uninstallEarlierProduct(const char* workingDir, const char* folder, const char* game, const char* exe)
{
    // A link without a usable working folder names no installation: nothing is removed for it.
    if (workingDir[0] == '\0' || strlen(workingDir) >= sizeof installer.installDir) return;
    copyText(installer.publisherName, sizeof installer.publisherName, "Kuvel");
    copyText(installer.folderName, sizeof installer.folderName, folder);
    copyText(installer.gameName, sizeof installer.gameName, game);
    copyText(installer.installDir, sizeof installer.installDir, workingDir);
    copyText(installer.installFiles[0], EarlierExeNameSize, exe);
    installer.uninstall(1, 0);
}

bool uninstallEarlierProducts()
{
    if (installer.readInstallRecordFrom("SOFTWARE\\KUVEL\\Halvorn")) {
        showMessage(nullptr, "インストール情報がありました。このまま処理を終了します。", "確認", MB_OK);
        return false;
    }
    char linkDir[LongPathSize];
    if (installer.readStartMenuShortcutDir(1, "Kuvel\\Serapine「Quorrel」\\README.lnk", linkDir, sizeof linkDir) &&
        !installer.readInstallRecordFrom("SOFTWARE\\KUVEL\\Serapine"))
        uninstallEarlierProduct(linkDir, "Serapine", "Serapine「Quorrel」", "Serapine.exe");
    if (installer.readStartMenuShortcutDir(1, "Kuvel\\Halvorn\\README.lnk", linkDir, sizeof linkDir))
        uninstallEarlierProduct(linkDir, "HALVORN", "Halvorn", "halvorn.exe");
    return true;
}
