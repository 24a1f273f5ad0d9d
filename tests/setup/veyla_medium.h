// The Veyla medium as tests lay it out on a drive of the bench: setup.exe in the root, every file
// of the product in the data folder (the game is the probe program), pictures and sounds, manual.
#pragma once
#include <shlobj.h>

#include <functional>
#include <algorithm>
#include <string>
#include <vector>

#include "driver.h"
#include "media.h"

static const char* const veylaRecordKey = "SOFTWARE\\TesmafromKuvel\\Veyla者";
static const char* const veylaEntryKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TesmafromKuvel Veyla";

// Each file's bytes; the settings file has the 128 bytes the engine reads.
inline std::string veylaFileBytes(const std::string& name)
{
    return kit::textBytes(name == "tncfg.dat" ? 128 : 1000 + name.size() * 37, (uint32_t)name.size());
}

inline const char* const* veylaFiles()
{
    static const char* const names[] = {"uninst.exe",   "data.tpk",    "icon.ico",    "tncfg.dat",
                                        "tunewell.exe", "readme.txt",  "update1.tpk", "update2.tpk",
                                        "update3.tpk",  "update4.tpk", "update5.tpk", "update6.tpk",
                                        "update7.tpk",  "update8.tpk", "update9.tpk", nullptr};
    return names;
}

inline bool layOutVeyla(const std::string& root, const char* setupExe = "setup.exe")
{
    kit::DiscLayout disc;
    for (const char* const* n = veylaFiles(); *n; ++n) disc.files.push_back({*n, veylaFileBytes(*n)});
    std::string probe;
    kit::readFile(kit::binPath("..\\tests\\probe.exe"), probe);
    disc.files.push_back({"Veyla.exe", probe});
    bool ok = kit::layOutDisc(root, disc);
    ok = kit::makeFolders(root + "\\manual") && kit::writeFile(root + "\\manual\\manual.html", "<html>manual</html>") &&
         ok;
    // As on the real medium: AutoPlay's file beside setup.exe, which the disc search and the data
    // check must pass over. KIT_MEDIUM names a built medium whose setup.exe (signed) is taken.
    ok = kit::writeFile(root + "\\autorun.inf", "[autorun]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\nlabel=Veyla\r\n") &&
         ok;
    const char* medium = getenv("KIT_MEDIUM");
    std::string setup = medium && *medium ? std::string(medium) + "\\setup.exe" : kit::binPath(setupExe);
    return kit::copyFile(setup, root + "\\setup.exe") && ok;
}

inline std::string specialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}

// Everything an earlier installation of Veyla may have left on the bench.
inline void clearVeylaInstallation()
{
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TesmafromKuvel");
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, veylaEntryKey);
    kit::removeTree("c:\\TesmafromKuvel");
    kit::removeTree(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel");
    DeleteFileA((specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk").c_str());
    DeleteFileA((specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Veyla.lnk").c_str());
}

struct LinkInfo {
    bool loaded = false;
    std::string target, workingDir;
    int showCommand = 0;  // as stored in the file
};

inline LinkInfo readLink(const std::string& path)
{
    LinkInfo info;
    std::string bytes;
    if (!kit::readFile(path, bytes) || bytes.size() < 0x40) return info;
    info.showCommand = *(const int*)(bytes.data() + 0x3C);
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (file->Load(wide, STGM_READ) == S_OK) {
            char text[MAX_PATH] = "";
            link->GetPath(text, MAX_PATH, nullptr, 0);
            info.target = text;
            link->GetWorkingDirectory(text, MAX_PATH);
            info.workingDir = text;
            info.loaded = true;
        }
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return info;
}

// The record and the entry in the list of installed programs of an installation in dir.
inline void fakeRecord(const std::string& cd, const std::string& dir)
{
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, veylaRecordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Dir", 0, REG_SZ, (const BYTE*)dir.c_str(), (DWORD)dir.size() + 2);
    RegSetValueExA(key, "CD", 0, REG_SZ, (const BYTE*)cd.c_str(), (DWORD)cd.size() + 2);
    DWORD type = 0;
    RegSetValueExA(key, "InstType", 0, REG_DWORD, (const BYTE*)&type, 4);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, veylaEntryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE*)"Veyla", 6);
    RegCloseKey(key);
}

// An installation as the installer leaves it: files in c:\TesmafromKuvel\Veyla, the record and the
// entry in the list of installed programs.
inline std::string fakeInstallation(const std::string& cd, const std::string& dir = "c:\\TesmafromKuvel\\Veyla")
{
    kit::makeFolders(dir);
    for (const char* const* n = veylaFiles(); *n; ++n) kit::writeFile(dir + "\\" + *n, veylaFileBytes(*n));
    kit::copyFile(kit::binPath("..\\tests\\probe.exe"), dir + "\\Veyla.exe");
    fakeRecord(cd, dir);
    return dir;
}

// The game playing: a stand-in that runs until it is ended, started as the installed Veyla.exe.
inline bool startGame(kit::Process& game, const std::string& dir = "c:\\TesmafromKuvel\\Veyla")
{
    return kit::copyFile(kit::binPath("..\\tests\\desktop_holder.exe"), dir + "\\Veyla.exe") &&
           kit::start(game, dir + "\\Veyla.exe");
}

// The message that the installed game in dir runs.
inline std::wstring gameInUseText(const std::string& dir)
{
    return kit::ansiToWide(dir) +
           L"\\Veyla.exe は使用中です。\nゲームや設定ツールを終了してから［再試行］を押してください。";
}

inline void endGame(kit::Process& game)
{
    kit::terminate(game);
    kit::waitExit(game, 15000);
}

// A link as the installer writes it.
inline bool writeLink(const std::string& path, const std::string& target, const std::string& workingDir)
{
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
        link->SetPath(target.c_str());
        link->SetWorkingDirectory(workingDir.c_str());
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        ok = file->Save(wide, TRUE) == S_OK;
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return ok;
}

// The Start-menu group and desktop link of an installation in dir.
inline void fakeLinks(const std::string& dir)
{
    std::string group = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel\\Veyla";
    kit::makeFolders(group);
    writeLink(group + "\\Veyla.lnk", dir + "\\Veyla.exe", dir);
    writeLink(group + "\\README.lnk", dir + "\\readme.txt", dir);
    writeLink(group + "\\Veyla アンインストール.lnk", dir + "\\uninst.exe", dir);
    writeLink(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk", dir + "\\Veyla.exe", dir);
}

// The first temporary file or journal (a name with "~") left in dir; empty when there is none.
inline std::string temporaryLeft(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE left = FindFirstFileA((dir + "\\*~*").c_str(), &found);
    if (left == INVALID_HANDLE_VALUE) return "";
    FindClose(left);
    return found.cFileName;
}

// A run of the tests' build of setup.exe or update.exe told to end just before its changing step
// crashAt (0: never), as a power cut would; its exit code (99 when it was ended).
inline long runEndingAtStep(long crashAt, const std::function<long()>& run)
{
    SetEnvironmentVariableA("KIT_CRASH_AT", std::to_string(crashAt).c_str());
    long code = run();
    SetEnvironmentVariableA("KIT_CRASH_AT", nullptr);
    return code;
}

// The steps one whole run of such a build noted, in order ("flushed <path>", "renamed <path>",
// "recorded <folder>"); empty when the run did not end with 0.
inline std::vector<std::string> notedSteps(const std::function<long()>& run)
{
    std::string file = kit::scratchPath("trace.txt"), text;
    DeleteFileA(file.c_str());
    SetEnvironmentVariableA("KIT_STEP_TRACE", file.c_str());
    long code = runEndingAtStep(0, run);
    SetEnvironmentVariableA("KIT_STEP_TRACE", nullptr);
    std::vector<std::string> lines;
    if (code != 0 || !kit::readFile(file, text)) return lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// The changing steps one whole run of such a build makes; 0 when the run did not end with 0.
inline long changingSteps(const std::function<long()>& run)
{
    std::string file = kit::scratchPath("steps.txt"), count;
    SetEnvironmentVariableA("KIT_STEP_COUNT", file.c_str());
    long code = runEndingAtStep(0, run);
    SetEnvironmentVariableA("KIT_STEP_COUNT", nullptr);
    return code == 0 && kit::readFile(file, count) ? atol(count.c_str()) : 0;
}
