// Driving the real programs from tests under Wine: processes, windows, controls, message boxes,
// list views and progress bars, and the bench itself (CD-ROM drives, Windows versions, registry).
#pragma once
#include <windows.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace kit {

// ---- paths and files
std::string binPath(const std::string& relative);  // y:\bin\<relative>
std::string scratchPath(const std::string& name);  // z:\<name>
std::string freshFolder(const std::string& name);  // z:\<name>, emptied and created
bool removeTree(const std::string& path);          // a link in it goes as a link, never followed
// A link at link to the folder target, as a player makes a junction: under Wine a Unix symbolic link,
// which Wine shows as a reparse point and follows as Windows follows a junction.
bool makeLink(const std::string& link, const std::string& target);
bool removeLink(const std::string& link);
bool makeFolders(const std::string& path);  // every folder of path
bool writeFile(const std::string& path, const std::string& bytes);
bool readFile(const std::string& path, std::string& bytes);
bool fileExists(const std::string& path);
bool copyFile(const std::string& from, const std::string& to);
// A file of that size that takes no disk space: its contents read as zeros.
bool makeSparseFile(const std::string& path, uint64_t size);
std::string wideToAnsi(const std::wstring& text);  // code page 932
std::wstring ansiToWide(const std::string& text);
std::wstring systemToWide(const std::string& text);  // the system's code page, as paths are
std::string utf8(const std::wstring& text);

// ---- processes
struct Process {
    HANDLE handle = nullptr;
    DWORD pid = 0;
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();
};
bool start(Process& process, const std::string& exe, const std::string& args = "", const std::string& cwd = "");
// Starts a command line as it stands, the way the shell starts a registered command.
bool startCommand(Process& process, const std::string& commandLine);
// Exit code, or -1 when the process did not end in time.
long waitExit(Process& process, DWORD timeoutMs);
void terminate(Process& process);
// The program file a running process was started from (empty when it cannot be had).
std::string processImage(DWORD pid);
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Runs work on a thread of its own, so that the test thread can answer the message boxes it shows.
class Async {
public:
    explicit Async(std::function<void()> work);
    ~Async();
    bool wait(DWORD timeoutMs);  // true when the work has finished

private:
    static DWORD WINAPI run(LPVOID self);
    std::function<void()> work_;
    HANDLE thread_;
};

// The lines the probe program (a stand-in started by the programs under test) wrote to
// z:\probe.log, once it has written `count` of them (fewer after 20 s).
std::vector<std::string> probeLines(size_t count);

// ---- windows and controls
// The first visible top-level window of the process (pid 0: any process) that accept takes.
HWND findTopLevel(DWORD pid, const std::function<bool(HWND)>& accept);
// A visible top-level window of the process (pid 0: any process) with that class and, when given, title.
HWND findWindowOf(DWORD pid, const wchar_t* className, const wchar_t* title);
HWND waitWindow(DWORD pid, const wchar_t* className, const wchar_t* title, DWORD timeoutMs);
bool waitGone(HWND window, DWORD timeoutMs);
std::wstring text(HWND window);
std::wstring itemText(HWND dialog, int id);
bool itemEnabled(HWND dialog, int id);
bool itemExists(HWND dialog, int id);
int itemChecked(HWND dialog, int id);
// Posted once the button is enabled (20 s at most), so a modal loop in the program does not block the test.
void click(HWND dialog, int id);
void command(HWND dialog, int id);  // WM_COMMAND posted as if the control was used

// A visible dialog (#32770) of the process other than `except` that is not a message box.
HWND waitOtherDialog(DWORD pid, HWND except, DWORD timeoutMs);
// Sends a message whose lParam is a text, copied into the receiving process first.
LRESULT sendTextMessage(HWND window, UINT message, WPARAM wParam, const std::string& text);

// ---- message boxes
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // ids of the buttons it has (IDOK, IDYES, ...)
    bool hasIcon = false;
};
bool isMessageBox(HWND window);
bool waitMessageBox(DWORD pid, MessageBoxView& box, DWORD timeoutMs);  // pid 0: any process
void answer(const MessageBoxView& box, int buttonId);
// Waits for a box, checks nothing, answers it: for steps whose box is not the subject of a test.
bool answerNext(DWORD pid, int buttonId, DWORD timeoutMs, MessageBoxView* seen = nullptr);

// ---- common controls in another process
std::vector<std::vector<std::wstring>> listViewRows(HWND list, int columns);
std::wstring treeSelectionText(HWND tree);  // text of the selected item of a tree view
int progressPosition(HWND bar);
int progressMaximum(HWND bar);

// ---- resources of a built program
struct TemplateItem {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    int classAtom = 0;       // 0x80 button, 0x81 edit, 0x82 static, ...; 0 when named
    std::wstring className;  // when named ("msctls_progress32", ...)
    std::wstring text;
};
struct DialogTemplate {
    DWORD style = 0;
    int cx = 0, cy = 0;
    std::wstring caption;
    int pointSize = 0;
    std::wstring font;
    std::vector<TemplateItem> items;
};
// Reads a DIALOGEX template from the program's resources (by number, or by name when id is 0).
bool loadDialogTemplate(const std::string& exe, int id, const char* name, DialogTemplate& out);

// ---- the bench
// CD-ROM drives of the bench, each with a fixed volume label (Wine reads a label only once):
// a: "Veyla", m: "VEYLA", n: "Veyla", o: "Veyla", p: "KITDISC1", q: "KITDISC2".
// A disc is inserted by filling the drive's folder and taken out by emptying it.
std::string driveRoot(char letter);  // z:\drives\<letter>
void emptyDrive(char letter);        // everything but the label goes
void emptyAllDrives();
bool fillDrive(char letter, const std::string& staging);           // moves the staging folder's contents in
bool setWindowsVersion(const char* exeName, const char* version);  // nullptr: the prefix default
// Wine takes these DLLs (null-terminated list of names) from the program's folder before its own, as
// Windows does for any DLL that is not a known DLL; nullptr: Wine's own again.
bool preferNativeDlls(const char* exeName, const char* const* dlls);
void deleteRegistryTree(HKEY root, const char* path);
bool readRegistryBytes(HKEY root, const char* path, const char* value, std::string& bytes, DWORD* type = nullptr);

}  // namespace kit
