// Construction, initialisation and the small setters of the Installer.
#include "state/installer.h"

#include <stdlib.h>
#include <string.h>

#include "engine/progress_report.h"
#include "state/copy_state.h"

Installer installer;

Installer::Installer()
    : installFiles(nullptr), installFileCount(0), extraFiles(nullptr), discLabels(nullptr), installed(GameNotInstalled),
      installType(0), discCount(1), multiDiscTotalBytes(0), requiredSpaceMB(0), freeSpaceMB(0), firstFileIndex(0),
      endFileIndex(NoEndIndex), cancelState(CancelNone), workerRunning(0), workerThreadId(0), bytesCopied(0),
      progressUnitSize(0), progressUnits(0), progressUnitsShown(0), progressSteps(0), progressCtrlId(0),
      progress(&noProgressReport), copySource(nullptr), copyTarget(nullptr), copyFlushes(nullptr), mainWindow(nullptr),
      messageOwner(nullptr), registryKey(nullptr), installedBytes(0)
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
    if (registryKey) RegCloseKey(registryKey);  // the process ends: nothing is written any more
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

void Installer::requestCancel()
{
    // Only while the worker runs: the copy and the worker answer it, and the next run starts afresh.
    if (isWorkerRunning()) cancelState = CancelRequested;
}

bool Installer::chooseBaseDir(const char* folder) { return copyText(baseDir, sizeof baseDir, folder); }
