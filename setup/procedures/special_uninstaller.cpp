// The special uninstaller's removal of two earlier products of the maker, each found through its
// README link in the Start menu.
#include "procedures/special_uninstaller.h"

#include <string.h>

#include "config/earlier_products.h"
#include "platform/display_text.h"
#include "state/installer.h"
#include "state/removal_flags.h"
#include "system/shortcuts.h"

// The earlier products' executable names are copied bounded to this many bytes.
enum { EarlierExeNameSize = 32 };

// Dresses the installer as an earlier product found through its README link and removes it.
static void uninstallEarlierProduct(const char* workingDir, const EarlierProduct& product)
{
    // A link without a usable working folder names no installation: nothing is removed for it.
    if (workingDir[0] == '\0' || strlen(workingDir) >= sizeof installer.installDir) return;
    copyText(installer.publisherName, sizeof installer.publisherName, earlierPublisher);
    copyText(installer.folderName, sizeof installer.folderName, product.folderName);
    copyText(installer.gameName, sizeof installer.gameName, product.gameName);
    copyText(installer.installDir, sizeof installer.installDir, workingDir);
    copyText(installer.installFiles[0], EarlierExeNameSize, product.exeName);
    // Its result is the removal's own message to the player; the special uninstaller goes on to the
    // next product either way.
    (void)installer.uninstall(LeaveInstallFolder, KeepRecord);
}

bool uninstallEarlierProducts()
{
    if (installer.readInstallRecordFrom(earlierStoppingRecord)) {
        showMessage(nullptr, "インストール情報がありました。このまま処理を終了します。", "確認", MB_OK);
        return false;
    }
    char linkDir[LongPathSize];
    for (const EarlierProduct& product : earlierProducts)
        if (installer.readStartMenuShortcutDir(ProgramsFolder, product.readmeLink, linkDir, sizeof linkDir) &&
            !(product.recordKey && installer.readInstallRecordFrom(product.recordKey)))
            uninstallEarlierProduct(linkDir, product);
    return true;
}
