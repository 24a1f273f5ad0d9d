// Construction, initialisation and the small setters of the Installer.
#include "engine/installer.h"

#include <stdlib.h>
#include <string.h>

#include "engine/progress_report.h"

Installer installer;

Installer::Installer()
    : installFiles(nullptr), installFileCount(0), extraFiles(nullptr), discLabels(nullptr), installed(GameNotInstalled),
      installType(0), discCount(1), multiDiscTotalBytes(0), requiredSpaceMB(0), freeSpaceMB(0), firstFileIndex(0),
      endFileIndex(NoEndIndex), cancelState(CancelNone), workerRunning(0), workerThreadId(0), bytesCopied(0),
      progressUnitSize(0), progressUnits(0), progressUnitsShown(0), progressSteps(0), progressCtrlId(0),
      progress(&noProgressReport), copySource(nullptr), copyTarget(nullptr), copyFlushes(nullptr), mainWindow(nullptr),
      messageOwner(nullptr), registryKey(nullptr), copyFailed(NoCopyFault), installedBytes(0)
{
    publisherName[0] = gameName[0] = folderName[0] = installDir[0] = sourceDir[0] = sourceRoot[0] = '\0';
    programsDir[0] = desktopDir[0] = '\0';
    copyText(baseDir, sizeof baseDir, "c:");
    memset(fileSelected, 1, sizeof fileSelected);
}

Installer::~Installer()
{
    freeNameList(installFiles);
    freeNameList(extraFiles);
    freeNameList(discLabels);
    closeRegistryKey();
}

void Installer::freeNameList(NameList list)
{
    if (!list) return;
    int i = 0;
    for (; list[i][0] != '\0'; ++i) free(list[i]);
    free(list[i]);
    free(list);
}

NameList Installer::duplicateNameList(NameList old, const char** names, int32_t* countOut)
{
    freeNameList(old);
    int32_t count = 0;
    while (names && names[count]) ++count;
    NameList list = (NameList)calloc(count + 1, sizeof(char*));
    for (int32_t i = 0; i <= count; ++i) {
        list[i] = (char*)calloc(1, NameSize);
        // Names were checked to fit when the product table was built.
        if (i < count) copyText(list[i], NameSize, names[i]);
    }
    if (countOut) *countOut = count + 1;
    return list;
}

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

void Installer::setDiscLayout(int32_t discs, uint32_t totalMB)
{
    if (discs == 1) return;
    discCount = discs;
    multiDiscTotalBytes = (uint64_t)totalMB * 1048576u;
}

void Installer::setCopyRange(int32_t type, int32_t first, int32_t end)
{
    installType = type;
    firstFileIndex = first;
    endFileIndex = end;
}

void Installer::setMessageOwner(HWND window) { messageOwner = window; }

void Installer::setProgressControl(int32_t controlId) { progressCtrlId = controlId; }

bool Installer::isWorkerRunning() const { return workerRunning == 1; }

void Installer::setStatusText(const char* text) { progress->setLauncherText(text, 0); }

void Installer::getSourceDir(char* buffer, size_t size) const
{
    if (size == 0) return;
    strncpy(buffer, sourceDir, size - 1);
    buffer[size - 1] = '\0';
}
