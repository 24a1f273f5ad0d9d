#include "driver.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

namespace kit {

static std::string env(const char* name, const char* fallback)
{
    const char* v = getenv(name);
    return v && *v ? v : fallback;
}

std::string binPath(const std::string& relative) { return env("KIT_BIN", "y:\\bin") + "\\" + relative; }
std::string scratchPath(const std::string& name) { return env("KIT_SCRATCH", "z:") + "\\" + name; }

std::string freshFolder(const std::string& name)
{
    std::string path = scratchPath(name);
    removeTree(path);
    makeFolders(path);
    return path;
}

bool removeTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    // A link goes as a link: what it points at is never emptied.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return removeLink(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(path.c_str()) != FALSE;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") removeTree(path + "\\" + name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

// Wine's own call: the Unix path of a path (whose last part need not exist).
static std::string unixPath(const std::string& path)
{
    typedef char*(CDECL * UnixNameFn)(LPCWSTR);
    UnixNameFn unixName =
        (UnixNameFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    std::wstring wide = systemToWide(path);
    char* name = unixName ? unixName(wide.c_str()) : nullptr;
    std::string result = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// A program of the Unix side, started through Wine's \\?\unix\ paths (it is no Windows process:
// its end is seen only by what it did).
static bool runUnix(const std::string& program, const std::string& args)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::string commandLine = program + " " + args;
    if (!CreateProcessA(("\\\\?\\unix" + program).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

bool makeLink(const std::string& link, const std::string& target)
{
    std::string from = unixPath(link), to = unixPath(target);
    if (from.empty() || to.empty() || !runUnix("/bin/ln", "-s \"" + to + "\" \"" + from + "\"")) return false;
    return waitUntil(
        [&] {
            return (GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) &&
                   GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
        },
        10000);
}

bool removeLink(const std::string& link)
{
    std::string path = unixPath(link);
    if (path.empty() || !runUnix("/bin/rm", "-f \"" + path + "\"")) return false;
    return waitUntil([&] { return GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
}

bool makeFolders(const std::string& path)
{
    for (size_t i = 0; i <= path.size(); ++i) {
        unsigned char c = i < path.size() ? (unsigned char)path[i] : 0;
        if (IsDBCSLeadByte(c)) {
            ++i;  // a double-byte character of the system's code page: its second byte may be 0x5C
            continue;
        }
        if (i < 3 || (c != '\\' && c != 0)) continue;
        CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool readFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    fclose(f);
    return true;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool makeSparseFile(const std::string& path, uint64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)size;
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    return CloseHandle(file) && ok;
}

bool copyFile(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::string wideToAnsi(const std::wstring& text)
{
    int n = WideCharToMultiByte(932, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(932, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

static std::wstring toWide(UINT codePage, const std::string& text)
{
    int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(codePage, 0, text.c_str(), -1, &out[0], n);
    return out;
}

std::wstring ansiToWide(const std::string& text) { return toWide(932, text); }
std::wstring systemToWide(const std::string& text) { return toWide(CP_ACP, text); }

std::string utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

Process::~Process()
{
    if (handle) {
        if (WaitForSingleObject(handle, 0) == WAIT_TIMEOUT) TerminateProcess(handle, 1);
        CloseHandle(handle);
    }
}

static bool createProcess(Process& process, const char* exe, const std::string& line, const std::string& cwd)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!CreateProcessA(exe, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(),
                        &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process.handle = pi.hProcess;
    process.pid = pi.dwProcessId;
    return true;
}

bool start(Process& process, const std::string& exe, const std::string& args, const std::string& cwd)
{
    std::string line = "\"" + exe + "\"";
    if (!args.empty()) line += " " + args;
    return createProcess(process, exe.c_str(), line, cwd);
}

bool startCommand(Process& process, const std::string& commandLine)
{
    return createProcess(process, nullptr, commandLine, "");
}

long waitExit(Process& process, DWORD timeoutMs)
{
    if (!process.handle || WaitForSingleObject(process.handle, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.handle, &code);
    return (long)code;
}

std::string processImage(DWORD pid)
{
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return "";
    bool ok = QueryFullProcessImageNameA(process, 0, path, &size) != FALSE;
    CloseHandle(process);
    return ok ? path : "";
}

void terminate(Process& process)
{
    if (process.handle) TerminateProcess(process.handle, 1);
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    // Windows of the calling thread are served meanwhile, so another thread that sends them a
    // message is never left waiting.
    DWORD startTime = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - startTime > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

Async::Async(std::function<void()> work) : work_(std::move(work))
{
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

Async::~Async()
{
    if (thread_) {
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
    }
}

DWORD WINAPI Async::run(LPVOID self)
{
    ((Async*)self)->work_();
    return 0;
}

bool Async::wait(DWORD timeoutMs)
{
    return thread_ && waitUntil([&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

std::vector<std::string> probeLines(size_t count)
{
    std::vector<std::string> lines;
    waitUntil(
        [&] {
            std::string log;
            lines.clear();
            if (!readFile(scratchPath("probe.log"), log)) return false;
            size_t at = 0, next;
            while ((next = log.find('\n', at)) != std::string::npos) {
                lines.push_back(log.substr(at, next - at));
                at = next + 1;
            }
            return lines.size() >= count;
        },
        20000);
    return lines;
}

namespace {
struct Walk {
    DWORD pid;
    const std::function<bool(HWND)>* accept;
    HWND found;
};

BOOL CALLBACK walkWindow(HWND window, LPARAM param)
{
    Walk& w = *(Walk*)param;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (!IsWindowVisible(window) || (w.pid && owner != w.pid) || !(*w.accept)(window)) return TRUE;
    w.found = window;
    return FALSE;
}

bool hasClass(HWND window, const wchar_t* className)
{
    wchar_t name[256];
    GetClassNameW(window, name, 256);
    return wcscmp(name, className) == 0;
}
}  // namespace

HWND findTopLevel(DWORD pid, const std::function<bool(HWND)>& accept)
{
    Walk walk = {pid, &accept, nullptr};
    EnumWindows(walkWindow, (LPARAM)&walk);
    return walk.found;
}

HWND findWindowOf(DWORD pid, const wchar_t* className, const wchar_t* title)
{
    return findTopLevel(pid,
                        [&](HWND w) { return (!className || hasClass(w, className)) && (!title || text(w) == title); });
}

HWND waitWindow(DWORD pid, const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    HWND found = nullptr;
    waitUntil([&] { return (found = findWindowOf(pid, className, title)) != nullptr; }, timeoutMs);
    return found;
}

bool waitGone(HWND window, DWORD timeoutMs)
{
    return waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::wstring text(HWND window)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, (LPARAM)buffer, SMTO_ABORTIFHUNG, 5000, &result);
    return buffer;
}

std::wstring itemText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }
bool itemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool itemExists(HWND dialog, int id) { return GetDlgItem(dialog, id) != nullptr; }
int itemChecked(HWND dialog, int id) { return (int)SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0); }
void click(HWND dialog, int id)
{
    // As a user would, the click waits for the button to be enabled: a program that enables it
    // a moment later (after a message box is answered, a thread ends) does not lose the click.
    HWND button = GetDlgItem(dialog, id);
    waitUntil([&] { return !IsWindow(button) || IsWindowEnabled(button); }, 20000);
    PostMessageW(button, BM_CLICK, 0, 0);
}
void command(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

HWND waitOtherDialog(DWORD pid, HWND except, DWORD timeoutMs)
{
    HWND found = nullptr;
    waitUntil(
        [&] {
            found =
                findTopLevel(pid, [&](HWND w) { return w != except && hasClass(w, L"#32770") && !isMessageBox(w); });
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

LRESULT sendTextMessage(HWND window, UINT message, WPARAM wParam, const std::string& text)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return 0;
    void* remote = VirtualAllocEx(process, nullptr, text.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(process, remote, text.c_str(), text.size() + 1, nullptr);
    LRESULT result = SendMessageA(window, message, wParam, (LPARAM)remote);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return result;
}

bool isMessageBox(HWND window) { return hasClass(window, L"#32770") && GetDlgItem(window, 0xFFFF) != nullptr; }

bool waitMessageBox(DWORD pid, MessageBoxView& box, DWORD timeoutMs)
{
    HWND found = nullptr;
    if (!waitUntil([&] { return (found = findTopLevel(pid, isMessageBox)) != nullptr; }, timeoutMs)) return false;
    box.window = found;
    box.caption = text(found);
    box.text = itemText(found, 0xFFFF);
    box.buttons.clear();
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (GetDlgItem(found, id) && IsWindowVisible(GetDlgItem(found, id))) box.buttons.push_back(id);
    HWND icon = GetDlgItem(found, 1088);
    box.hasIcon = icon && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    return true;
}

void answer(const MessageBoxView& box, int buttonId)
{
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), (LPARAM)GetDlgItem(box.window, buttonId));
    waitGone(box.window, 5000);
}

bool answerNext(DWORD pid, int buttonId, DWORD timeoutMs, MessageBoxView* seen)
{
    MessageBoxView box;
    if (!waitMessageBox(pid, box, timeoutMs)) return false;
    if (seen) *seen = box;
    answer(box, buttonId);
    return true;
}

std::vector<std::vector<std::wstring>> listViewRows(HWND list, int columns)
{
    std::vector<std::vector<std::wstring>> rows;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return rows;
    const int textSize = 1024;
    char* remote = (char*)VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textSize * sizeof(wchar_t), MEM_COMMIT,
                                         PAGE_READWRITE);
    int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count && remote; ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item = {};
            item.iSubItem = column;
            item.cchTextMax = textSize;
            item.pszText = (LPWSTR)(remote + sizeof(LVITEMW));
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)remote);
            wchar_t buffer[textSize] = L"";
            ReadProcessMemory(process, remote + sizeof(LVITEMW), buffer, sizeof buffer - sizeof(wchar_t), nullptr);
            buffer[textSize - 1] = L'\0';
            cells.push_back(buffer);
        }
        rows.push_back(cells);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return rows;
}

std::wstring treeSelectionText(HWND tree)
{
    HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item) return L"";
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return L"";
    const int textSize = 260;
    char* remote = (char*)VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + textSize * sizeof(wchar_t), MEM_COMMIT,
                                         PAGE_READWRITE);
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = (LPWSTR)(remote + sizeof(TVITEMW));
    query.cchTextMax = textSize;
    WriteProcessMemory(process, remote, &query, sizeof query, nullptr);
    SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)remote);
    wchar_t buffer[textSize] = L"";
    ReadProcessMemory(process, remote + sizeof(TVITEMW), buffer, sizeof buffer - sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return buffer;
}

int progressPosition(HWND bar) { return (int)SendMessageW(bar, PBM_GETPOS, 0, 0); }
int progressMaximum(HWND bar) { return (int)SendMessageW(bar, PBM_GETRANGE, FALSE, 0); }

namespace {
struct Reader {
    const BYTE* p;
    WORD word()
    {
        WORD v = *(const WORD*)p;
        p += 2;
        return v;
    }
    DWORD dword()
    {
        DWORD v = *(const DWORD*)p;
        p += 4;
        return v;
    }
    short shortValue() { return (short)word(); }
    std::wstring text()
    {
        std::wstring v((const wchar_t*)p);
        p += (v.size() + 1) * 2;
        return v;
    }
    // A name or an ordinal: 0 (none), 0xFFFF followed by an ordinal, or a string.
    void nameOrOrdinal(int& ordinal, std::wstring& name)
    {
        WORD first = *(const WORD*)p;
        ordinal = 0;
        if (first == 0) {
            p += 2;
            return;
        }
        if (first == 0xFFFF) {
            p += 2;
            ordinal = word();
            return;
        }
        name = text();
    }
    void align(const BYTE* base) { p = base + (((p - base) + 3) & ~3); }
};
}  // namespace

bool loadDialogTemplate(const std::string& exe, int id, const char* name, DialogTemplate& out)
{
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    HRSRC found = FindResourceA(module, id ? MAKEINTRESOURCEA(id) : name, (LPCSTR)RT_DIALOG);
    bool ok = false;
    if (found) {
        const BYTE* base = (const BYTE*)LockResource(LoadResource(module, found));
        Reader r = {base};
        if (r.word() == 1 && r.word() == 0xFFFF) {
            r.dword();  // help id
            r.dword();  // extended style
            out.style = r.dword();
            int count = r.word();
            r.shortValue();
            r.shortValue();
            out.cx = r.shortValue();
            out.cy = r.shortValue();
            int ordinal;
            std::wstring ignored;
            r.nameOrOrdinal(ordinal, ignored);  // menu
            r.nameOrOrdinal(ordinal, ignored);  // class
            out.caption = r.text();
            if (out.style & (DS_SETFONT | DS_SHELLFONT)) {
                out.pointSize = r.word();
                r.word();
                r.word();
                out.font = r.text();
            }
            for (int i = 0; i < count; ++i) {
                r.align(base);
                TemplateItem item;
                r.dword();
                r.dword();
                item.style = r.dword();
                item.x = r.shortValue();
                item.y = r.shortValue();
                item.cx = r.shortValue();
                item.cy = r.shortValue();
                item.id = (int)r.dword();
                r.nameOrOrdinal(item.classAtom, item.className);
                int textOrdinal;
                r.nameOrOrdinal(textOrdinal, item.text);
                WORD extra = r.word();
                r.p += extra;
                out.items.push_back(item);
            }
            ok = true;
        }
    }
    FreeLibrary(module);
    return ok;
}

std::string driveRoot(char letter) { return scratchPath(std::string("drives\\") + letter); }

void emptyDrive(char letter)
{
    std::string root = driveRoot(letter);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != ".." && name != ".windows-label") removeTree(root + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void emptyAllDrives()
{
    for (char letter : {'a', 'm', 'n', 'o', 'p', 'q'}) emptyDrive(letter);
}

bool fillDrive(char letter, const std::string& staging)
{
    std::string root = driveRoot(letter);
    bool ok = true;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((staging + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || name == ".windows-label") continue;
        removeTree(root + "\\" + name);
        ok = MoveFileA((staging + "\\" + name).c_str(), (root + "\\" + name).c_str()) && ok;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

// Writes text values into a key of the user's Wine settings, creating it.
static bool setWineSettings(const std::string& key, const std::vector<std::pair<std::string, std::string>>& values)
{
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr))
        return false;
    bool ok = true;
    for (const auto& value : values)
        ok = RegSetValueExA(handle, value.first.c_str(), 0, REG_SZ, (const BYTE*)value.second.c_str(),
                            (DWORD)value.second.size() + 1) == ERROR_SUCCESS &&
             ok;
    RegCloseKey(handle);
    return ok;
}

bool setWindowsVersion(const char* exeName, const char* version)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + exeName;
    if (!version) {
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        return true;
    }
    return setWineSettings(key, {{"Version", version}});
}

bool preferNativeDlls(const char* exeName, const char* const* dlls)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + exeName + "\\DllOverrides";
    if (!dlls) {
        deleteRegistryTree(HKEY_CURRENT_USER, key.c_str());
        return true;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (; *dlls; ++dlls) {
        std::string module = *dlls;  // Wine names a module without ".dll"
        if (module.size() > 4 && _stricmp(module.c_str() + module.size() - 4, ".dll") == 0)
            module.resize(module.size() - 4);
        values.push_back({module, "native,builtin"});
    }
    return setWineSettings(key, values);
}

void deleteRegistryTree(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[512];
        for (;;) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            deleteRegistryTree(key, name);
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path);
}

bool readRegistryBytes(HKEY root, const char* path, const char* value, std::string& bytes, DWORD* type)
{
    HKEY key;
    bytes.clear();
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[4096];
    DWORD size = sizeof buffer, kind = 0;
    LONG rc = RegQueryValueExA(key, value, nullptr, &kind, (BYTE*)buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    bytes.assign(buffer, size);
    if (type) *type = kind;
    return true;
}

}  // namespace kit
