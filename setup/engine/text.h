// Bounded text helpers shared by every part of setup: fixed buffers are filled only through these,
// and code page 932 text is walked a character at a time.
#pragma once
#include <stddef.h>

enum { PathSize = 260, MessageSize = 1024, NameSize = 128 };

// Formats into buf. When the text does not fit, buf is left empty and the result is false, so a
// path that is too long never turns into a shorter, different path.
bool formatText(char* buf, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Copies src into dst; false (dst empty) when it does not fit.
bool copyText(char* dst, size_t size, const char* src);

// Appends src to the text in dst; false (dst unchanged) when it does not fit.
bool appendText(char* dst, size_t size, const char* src);

// Lead byte of a double-byte character in code page 932.
inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The next character of a code page 932 string (never past its terminator).
const char* nextChar(const char* p);

// The last single-byte backslash of s, or nullptr.
char* lastBackslash(char* s);

// True when s ends in a single-byte backslash (not the second byte of a double-byte character).
bool endsWithBackslash(const char* s);

// A folder as the folder dialog gives it: one trailing single-byte backslash is dropped, so a drive
// root c:\ becomes c:. Texts of two bytes or fewer stay as they are.
void dropTrailingBackslash(char* folder);
