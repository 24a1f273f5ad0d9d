#include "platform/run_log.h"

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>

#include "config/kit_names.h"
#include "platform/system_library.h"
#include "platform/text.h"

// A line: the local time, then each UTF-16 unit of the text as at most three UTF-8 bytes.
enum { TimeStampRoom = 32, MaxUtf8PerUnit = 3 };

static HANDLE logFile = INVALID_HANDLE_VALUE;
// On the NT family the log is opened for appending only; the 95/98/Me family knows no such access
// and seeks to the end before each line.
static bool appendOnly;

bool openRunLog(const char* path, bool append)
{
    // A new log starts empty, unless another run is writing it: a second copy of the program,
    // which ends at once, must not empty the log of the one that runs.
    if (!append) {
        HANDLE fresh = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (fresh != INVALID_HANDLE_VALUE) CloseHandle(fresh);
    }
    // Opened for appending only: each line lands whole at the end, also when the uninstaller and its
    // copy write at the same moment.
    appendOnly = ntFamily();
    logFile = CreateFileA(path, appendOnly ? FILE_APPEND_DATA | SYNCHRONIZE : GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return logFile != INVALID_HANDLE_VALUE;
}

bool runLogOpen() { return logFile != INVALID_HANDLE_VALUE; }

// Writes one line: the local time, then text converted from codePage (its marked paths from the
// system's) to UTF-8.
static void writeLine(UINT codePage, char* text)
{
    if (logFile == INVALID_HANDLE_VALUE) return;
    for (char* c = text; *c; ++c)
        if (*c == '\r' || *c == '\n') *c = ' ';  // never a second byte of a two-byte character
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[MessageSize * MaxUtf8PerUnit + TimeStampRoom];
    int at = snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                      now.wMinute, now.wSecond);
    WCHAR wide[MessageSize];
    toWideText(text, codePage, wide, MessageSize);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, line + at, (int)sizeof line - at - 2, nullptr, nullptr);
    at += bytes > 0 ? bytes - 1 : 0;
    line[at++] = '\r';
    line[at++] = '\n';
    if (!appendOnly) SetFilePointer(logFile, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(logFile, line, (DWORD)at, &written, nullptr);
}

void logLine(const char* format, ...)
{
    char text[MessageSize];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n >= 0) writeLine(CP_ACP, text);  // a text longer than the buffer is cut, never lost
}

const char* systemText(const char* text, char* out, size_t size)
{
    WCHAR wide[MessageSize];
    if (GetACP() == ProgramCodePage || !MultiByteToWideChar(ProgramCodePage, 0, text, -1, wide, MessageSize) ||
        !WideCharToMultiByte(CP_ACP, 0, wide, -1, out, (int)size, nullptr, nullptr))
        return text;
    return out;
}

void logStart(const char* commandLine)
{
    char program[PathSize] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    char* name = lastBackslash(program);
    // The version Windows really is: GetVersionEx answers what the manifest declares (Windows 8 to
    // 11 all say 6.2.9200), ntdll's own call does not. The 95/98/Me family has no ntdll.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    RtlGetVersionFn realVersion = (RtlGetVersionFn)(void*)loadedFunction("ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW real = {};
    real.dwOSVersionInfoSize = sizeof real;
    if (realVersion && realVersion(&real) == 0) {
        version.dwMajorVersion = real.dwMajorVersion;
        version.dwMinorVersion = real.dwMinorVersion;
        version.dwBuildNumber = real.dwBuildNumber;
    }
    logLine("%s 1.0.1.1, command line: %s, Windows %lu.%lu.%lu, code page %u", name ? name + 1 : program,
            commandLine ? commandLine : "", version.dwMajorVersion, version.dwMinorVersion,
            (unsigned long)LOWORD(version.dwBuildNumber), GetACP());
}

void logMessage(const char* caption, const char* text, int answer)
{
    const char* names[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    char line[MessageSize];
    if (snprintf(line, sizeof line, "message (%s): %s -> %s", caption ? caption : "", text ? text : "",
                 answer >= 0 && answer < 8 ? names[answer] : "?") >= 0)
        writeLine(ProgramCodePage, line);
}

void closeRunLog(int code)
{
    logLine("exit code %d", code);
    if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
}
