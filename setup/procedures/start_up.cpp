// The start-up's filling of the Installer: the product's names and lists, the medium searched for,
// and the installation record read, which says whether the game is installed.
#include "state/copy_state.h"
#include "state/installer.h"

bool Installer::initialise(const char** mainFiles, const char** extraNames, const char** labels, HWND mainWnd,
                           HWND owner, const char* publisher, const char* game, const char* folder, uint32_t requiredMB)
{
    mainWindow = mainWnd;
    messageOwner = owner;
    requiredSpaceMB = requiredMB;
    installFiles = duplicateNameList(installFiles, mainFiles, &installFileCount);
    extraFiles = duplicateNameList(extraFiles, extraNames, nullptr);
    discLabels = duplicateNameList(discLabels, labels, nullptr);
    copyText(publisherName, sizeof publisherName, publisher);
    copyText(gameName, sizeof gameName, game);
    copyText(folderName, sizeof folderName, folder);

    locateSource(folderName, installFiles[0]);
    copyText(sourceRoot, sizeof sourceRoot, sourceDir);
    formatText(sourceDir, sizeof sourceDir, "%s\\%s", sourceRoot, folderName);

    installed = readInstallRecord() ? GameInstalled : GameNotInstalled;
    return installed == GameInstalled;
}
