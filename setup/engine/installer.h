// The installation engine's one object: product names and folders, name lists, file selection,
// progress counters and the cancel protocol shared by the install thread and the copy worker.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <stdio.h>

#include "engine/outcome.h"
#include "engine/product_files.h"
#include "platform/text.h"

struct ProgressReport;
class FlushQueue;

enum class DriveKind { Unknown = 0, Fixed = 1, CdRom = 2, Removable = 3, RamDisk = 4, Remote = 5 };
enum LaunchMode { LaunchOpen = 0, LaunchNotepad = 1, LaunchDefault = 2 };
enum { MaxFiles = 100, CopyChunkSize = 65536, ZipBlockSize = 8192, NoEndIndex = 9999 };
// The progress bar's range: the copy moves it a thousandth of the bytes at a time.
enum { ProgressBarSteps = 1000 };

// installed: whether the game is installed (from the record at start, then by installation and removal).
enum InstalledState : int32_t { GameNotInstalled = 0, GameInstalled = 1 };

// The copy's cancel protocol (cancelState): the launcher asks, the plain-file copy stops, then the
// worker; each state has one writer.
enum CancelState : LONG { CancelNone = 0, CancelRequested = 1, CancelCopyStopped = 2, CancelWorkerStopped = 3 };

// Why the last copy run failed other than by a cancel (copyFailed).
enum CopyFault : LONG {
    NoCopyFault = 0,
    FileNotCopied = 1,  // damaged data, a file that could not be placed or written, a path that does not fit
    DiscMissing = 2,    // a further disc is in no drive, in an unattended run
};

// How one plain file's turn of the copy ended.
enum class FileCopy {
    Copied,
    Cancelled,  // stopped at a cancel request; the partly written file stays for the roll-back
    NotThere,   // not on this disc: it lies on another
    NotOpened,  // there but unreadable, or its target could not be placed
    Damaged,    // not read or written completely; the partly written target is removed
};

// Classifies the drive at root and, when its volume can be read, copies its label into label.
DriveKind driveKind(const char* root, char* label, size_t labelSize);

// The folder of the running program, without a trailing backslash; false (out empty) when its
// path cannot be had.
bool moduleFolder(char* out, size_t size);

// The size of an open file; false when it cannot be had.
bool openFileSize(HANDLE file, uint64_t& size);

// A file of the installation at target, made new and opened with access (an existing file is
// deleted first, its read-only attribute cleared, once flushes no longer hold it where given), with
// security's access list where given; INVALID_HANDLE_VALUE, logged with the error, where the name
// cannot be freed.
HANDLE createNewTarget(const char* target, DWORD access, SECURITY_ATTRIBUTES* security = nullptr,
                       FlushQueue* flushes = nullptr);

// An archive entry's name (backslashes already) that stays inside its folder and names no device.
bool isSafeEntryName(const char* name);

// The message that the drive of folder has freeMB where neededMB are needed, owned by owner.
void showNoSpace(HWND owner, const char* folder, uint32_t freeMB, uint32_t neededMB);

// Looks up a special folder by path into out; false (out empty) when the shell has none.
bool getSpecialFolder(int csidl, char* out, size_t size);

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
    void setStatusText(const char* text);
    void getSourceDir(char* buffer, size_t size) const;
    static NameList duplicateNameList(NameList old, const char** names, int32_t* countOut);
    static void freeNameList(NameList list);

    // Media and space
    bool locateSource(const char* folder, const char* probeFile);
    bool findDisc(int32_t discIndex);
    void waitForDisc(int32_t discIndex);
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
    bool copyFile(const char* target, const char* source);
    bool extractZip(const char* archive, const char* destRoot);
    static bool makeDirectories(const char* path);
    static bool pathExists(const char* path);

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
    bool createStartMenuEntries(int location);
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
    // True when the path is really down for deletion at the next restart (MoveFileEx on the NT
    // family, WININIT.INI on 95/98/Me).
    bool scheduleDeleteAtRestart(const char* path);

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

    // A CopyFault, set when the last copy run met damaged data, a file it could not write completely
    // or a missing disc: the run then fails like a cancel.
    volatile LONG copyFailed;

    // Bytes the last copy run put into the installation folder: plain files and extracted archive
    // entries. Written by the worker, read once it has ended.
    uint64_t installedBytes;
};

// The one installer of the process (constructed before the entry runs).
extern Installer installer;

// Copy worker thread procedure; its argument is the Installer.
DWORD WINAPI copyWorker(LPVOID param);

// bytesCopied is written by the worker and read by the install thread; on a 32-bit processor a
// plain 64-bit access could be torn into two halves, so both sides go through these.
inline uint64_t loadBytesCopied(const Installer& in) { return __atomic_load_n(&in.bytesCopied, __ATOMIC_RELAXED); }
inline void storeBytesCopied(Installer& in, uint64_t v) { __atomic_store_n(&in.bytesCopied, v, __ATOMIC_RELAXED); }
