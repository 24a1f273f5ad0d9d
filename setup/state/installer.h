// The installation engine's one object: product names and folders, name lists, file selection,
// progress counters and the cancel protocol shared by the install thread and the copy worker. Both
// the engine and the system stand on it; each operation's body is on one side.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <stdio.h>

#include "state/copy_limits.h"
#include "state/outcome.h"
#include "state/product_files.h"
#include "platform/text.h"

struct ProgressReport;
class FlushQueue;

class Installer {
public:
    Installer();
    ~Installer();

    // Start-up and settings
    bool initialise(const char** mainFiles, const char** extraNames, const char** labels, HWND mainWnd, HWND owner,
                    const char* publisher, const char* game, const char* folder, uint32_t requiredMB);
    void setDiscLayout(int32_t discs, uint32_t totalMB);
    void setCopyRange(int32_t type, int32_t first, int32_t end);
    void setMessageOwner(HWND window);
    void setProgressControl(int32_t controlId);
    bool isWorkerRunning() const;
    // The launcher's abort: the copy is asked to stop (while the worker runs).
    void requestCancel();
    // The base folder chosen (the folder dialog, /dir=); false where it does not fit (nothing changes).
    bool chooseBaseDir(const char* folder);
    void setStatusText(const char* text);
    void getSourceDir(char* buffer, size_t size) const;
    static NameList duplicateNameList(NameList old, const char** names, int32_t* countOut);
    static void freeNameList(NameList list);

    // Media and space
    bool locateSource(const char* folder, const char* probeFile);
    bool findDisc(int32_t discIndex);
    // False only where nobody can be asked (unattended) and the disc is in no drive.
    bool waitForDisc(int32_t discIndex, bool unattended);
    static uint64_t fileSize(const char* path);
    uint64_t totalInstallBytes();
    static uint32_t queryFreeMB(const char* path);
    bool checkFreeSpace();
    static bool ensureDirectory(const char* path);
    bool createInstallFolder(const char* path);
    bool removeInstalledFiles(const char* folder);
    // The product's two lists, for the walks over every product file.
    ProductFiles productFiles() const { return ProductFiles{installFiles, extraFiles}; }
    bool launchGame();
    bool openReadme();

    // Copy worker and archives
    bool runCopy();
    // runCopy's outcome: done, cancelled, no disc (a further disc in no drive, unattended), failed.
    Outcome runCopyOutcome(bool unattended);
    bool copyFile(const char* target, const char* source);
    bool extractZip(const char* archive, const char* destRoot);
    static bool makeDirectories(const char* path);
    // Whether anything stands at path (both sides ask it, so it is answered here).
    static bool pathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

    // Install, data check, update
    bool install();
    // install's outcome: done, declined (a refused folder), or failed in one of the ways that have
    // an exit code of their own.
    Outcome installOutcome();
    int probeInstalledFile(int index, char* buffer, size_t size);
    int compareWithSource(const char* name, HWND progressBar);
    // Declined when the player cancelled at the files in use: nothing changed, the dialog stays.
    Outcome applyUpdate();

    void installedBaseDir(char* dest, size_t size) const;

    // Progress display: the bar, and the report that shows the rest (nullptr: nothing is shown)
    void setProgressReport(const ProgressReport* report);
    void resetProgressBar(int range);
    void updateProgress();

    // Registry record
    LONG closeRegistryKey();
    bool createRegistryKey(const char* keyPath);
    bool openRegistryKey(const char* keyPath);
    bool setRegistryValue(const char* name, DWORD type, const void* data, DWORD bytes);
    bool queryRegistryValue(const char* name, DWORD expectedType, void* buffer, DWORD size);
    bool deleteRegistryKey(const char* keyPath);
    bool writeInstallRecord();
    bool readInstallRecord();
    bool readInstallRecordFrom(const char* keyPath);

    // Shortcuts
    bool createShortcut(const char* linkFolder, const char* workingDir, const char* targetName, const char* linkName);
    bool readShortcutWorkingDir(const char* linkPath, char* out, int size);
    bool readStartMenuShortcutDir(int location, const char* relativeLink, char* out, int size);
    // unattendedDesktopAnswer (IDYES, IDNO) answers the desktop link's question in an unattended run.
    bool createStartMenuEntries(int location, int unattendedDesktopAnswer);
    void removeShortcuts();

    // Uninstall
    bool uninstall(uint8_t leaveFolder, uint8_t deleteRecord);
    // uninstall's outcome: done (DoneAtRestart where files go at the restart), declined, or failed.
    Outcome removalOutcome(uint8_t leaveFolder, uint8_t deleteRecord);
    BOOL deleteFileIfPresent(const char* path);
    bool removeInstallFolders(uint8_t leaveFolder);
    // Temporary copies. On the NT family each copy is made in a new folder of its own in the
    // temporary folder, with a name nobody can tell beforehand and open to this user, Administrators
    // and SYSTEM only; on 95/98/Me in the temporary folder itself. The copy is held open (read only,
    // no write or delete sharing) in held until the caller has started it and closes held.
    void startUninstallerCopy();
    void relaunchFromTemp();
    // The first of base01.exe to base99.exe not in folder (base.exe when all are).
    bool findFreeTempName(const char* folder, const char* base, char* out, size_t size);
    // fileName of sourceFolder copied as fileName, or under the first free numbered name of
    // numberedBase; out: the copy's path.
    bool copyToTemp(const char* fileName, const char* sourceFolder, const char* numberedBase, char* out, size_t size,
                    HANDLE& held);

    // Launching
    bool shellLaunch(const char* path, const char* parameters, int mode);

    NameList installFiles;
    int32_t installFileCount;
    NameList extraFiles;
    NameList discLabels;
    char publisherName[PathSize];
    char gameName[PathSize];
    char folderName[PathSize];
    char baseDir[PathSize];
    char installDir[PathSize];
    char sourceDir[PathSize];
    char sourceRoot[PathSize];
    char programsDir[PathSize];
    char desktopDir[PathSize];
    volatile int32_t installed;
    int32_t installType;
    int32_t discCount;
    uint64_t multiDiscTotalBytes;
    uint32_t requiredSpaceMB;
    uint32_t freeSpaceMB;
    int32_t firstFileIndex;
    int32_t endFileIndex;
    uint8_t fileSelected[MaxFiles];
    volatile LONG cancelState;
    volatile LONG workerRunning;
    DWORD workerThreadId;
    volatile uint64_t bytesCopied;
    uint64_t progressUnitSize;
    uint64_t progressUnits;
    uint64_t progressUnitsShown;
    int32_t progressSteps;
    int32_t progressCtrlId;
    const ProgressReport* progress;
    FILE* copySource;
    FILE* copyTarget;
    // The copy run's written files on their way to the disk, while its worker runs; nullptr outside.
    FlushQueue* copyFlushes;
    HWND mainWindow;
    HWND messageOwner;
    HKEY registryKey;

    // Bytes the last copy run put into the installation folder: plain files and extracted archive
    // entries. Written by the worker, read once it has ended.
    uint64_t installedBytes;
};

// The one installer of the process (constructed before the entry runs).
extern Installer installer;
