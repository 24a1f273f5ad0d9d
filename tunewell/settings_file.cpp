#include "display_text.h"
#include "settings_file.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

EngineSettings settings;
char programFolder[260];

static const int32_t defaultImage[32] = {1, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0,
                                         2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A path is walked by the lead bytes of the system's code page, as Windows walks it.
static bool isLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

void determineProgramFolder()
{
    char path[MAX_PATH + 1];
    memset(path, 0, sizeof path);
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = '\0';

    // Drive and directory: everything up to the last separator; the walk keeps double-byte
    // characters whole, so a second byte 0x5C is never a separator and never lower-cased.
    size_t cut = 0;
    for (size_t i = 0; path[i]; ++i) {
        unsigned char c = (unsigned char)path[i];
        if (isLeadByte(c) && path[i + 1]) {
            ++i;
            continue;
        }
        if (c == '/') path[i] = '\\';
        if (path[i] == '\\' || c == ':') cut = i + 1;
    }
    path[cut] = '\0';
    // One backslash at the end, whatever the path held there.
    size_t lastChar = 0, len = 0;
    for (size_t i = 0; path[i]; ++i) {
        lastChar = i;
        if (isLeadByte((unsigned char)path[i]) && path[i + 1]) ++i;
        len = i + 1;
    }
    if (len > 0 && path[lastChar] == '\\') path[--len] = '\0';
    path[len] = '\\';
    path[len + 1] = '\0';
    for (size_t i = 0; path[i]; ++i) {
        unsigned char c = (unsigned char)path[i];
        if (isLeadByte(c) && path[i + 1]) {
            ++i;
            continue;
        }
        if (c >= 'A' && c <= 'Z') path[i] = (char)(c - 'A' + 'a');
    }
    if (strlen(path) < sizeof programFolder)
        memcpy(programFolder, path, strlen(path) + 1);
    else
        programFolder[0] = '\0';
}

// The file's full path; false when it does not fit (the file then cannot be opened or made).
static bool settingsPath(char* out, size_t size)
{
    if (programFolder[0] == '\0') return false;
    int n = snprintf(out, size, "%stncfg.dat", programFolder);
    return n > 0 && (size_t)n < size;
}

int loadSettings()
{
    char path[260];
    FILE* file = settingsPath(path, sizeof path) ? fopen(path, "rb") : nullptr;
    if (file) {
        fread(&settings, 1, sizeof settings, file);
        settings.hidden1 = 1;
        fclose(file);
        return 0;
    }
    resetSettings();
    return saveSettings(NewFile) == 0 ? 0 : -1;
}

int saveSettings(SaveReason reason)
{
    char path[260];
    HANDLE file = INVALID_HANDLE_VALUE;
    if (settingsPath(path, sizeof path))
        file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const char* text =
            reason == NewFile
                ? "設定データファイルを新規作成できませんでした。\r\n\r\n書き込みできないフォルダである可能性があります。"
                : "設定データファイルに設定を保存できませんでした。\r\n\r\n[ tncfg.dat ]ファイルが読み取り専用になっている可能性があります。";
        showMessage(nullptr, text, nullptr, MB_OK);
        return -1;
    }
    DWORD written = 0;
    WriteFile(file, &settings, sizeof settings, &written, nullptr);
    CloseHandle(file);
    return 0;
}

void resetSettings() { memcpy(&settings, defaultImage, sizeof settings); }
