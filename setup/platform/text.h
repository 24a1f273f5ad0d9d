// Bounded text helpers shared by every part of setup: fixed buffers are filled only through these,
// and text is walked a character at a time: the program's texts by code page 932, paths by the
// system's code page.
#pragma once
#include <stddef.h>

enum { PathSize = 260, MessageSize = 1024, NameSize = 128 };
// The larger buffer some paths are formed in (a link's path, the save data's, a chosen folder).
enum { LongPathSize = 1024 };

// Formats into buf. When the text does not fit, buf is left empty and the result is false, so a
// path that is too long never turns into a shorter, different path.
bool formatText(char* buf, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Copies src into dst; false (dst empty) when it does not fit.
bool copyText(char* dst, size_t size, const char* src);

// Appends src to the text in dst; false (dst unchanged) when it does not fit.
bool appendText(char* dst, size_t size, const char* src);

// Lead byte of a double-byte character in code page 932.
inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The next character of a text of the program, in code page 932 (never past its terminator).
const char* nextTextChar(const char* p);

// The next character of a path or a name stored in the system's code page, walked by that code
// page's lead bytes as Windows walks it (never past its terminator).
const char* nextPathChar(const char* p);

// True when the paths a and b (the system's code page) name the same file as Windows compares names:
// single-byte letters in either case; the bytes of a double-byte character as they are, so that a
// second byte that is a letter ("ア" 83 41, "ヂ" 83 61) never matches another.
bool samePath(const char* a, const char* b);

// True when path starts with the path folder and goes on below it (after a single-byte backslash).
bool isBelowFolder(const char* path, const char* folder);

// A message may hold paths, in the system's code page, between these two bytes (which neither a
// path nor a code page 932 text holds); the text-output layer converts each part from its own
// code page and drops the marks where the bytes go to the A-functions as they are.
enum : char { PathStart = '\x01', PathEnd = '\x02' };

// formatText for a text of the program whose every %s argument is such a path.
bool formatWithPaths(char* buf, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The message without its path marks (out always terminated; cut where it does not fit).
const char* withoutPathMarks(const char* text, char* out, size_t size);

// A message as UTF-16: its text from textCodePage, its marked paths from the system's code page
// (out always terminated; a text that does not fit shows empty rather than cut in a character).
void toWideText(const char* text, unsigned textCodePage, wchar_t* out, size_t count);

// The last single-byte backslash of the path s, or nullptr.
char* lastBackslash(char* s);

// True when the path s ends in a single-byte backslash (not the second byte of a double-byte character).
bool endsWithBackslash(const char* s);

// A folder as the folder dialog gives it: one trailing single-byte backslash is dropped, so a drive
// root c:\ becomes c:. Texts of two bytes or fewer stay as they are.
void dropTrailingBackslash(char* folder);
