#include "platform/text.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static bool formatArguments(char* buf, size_t size, const char* format, va_list args)
{
    if (size == 0) return false;
    int n = vsnprintf(buf, size, format, args);
    if (n < 0 || (size_t)n >= size) {
        buf[0] = '\0';
        return false;
    }
    return true;
}

bool formatText(char* buf, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool ok = formatArguments(buf, size, format, args);
    va_end(args);
    return ok;
}

bool copyText(char* dst, size_t size, const char* src)
{
    if (size == 0) return false;
    size_t len = strlen(src);
    if (len >= size) {
        dst[0] = '\0';
        return false;
    }
    memmove(dst, src, len + 1);
    return true;
}

bool appendText(char* dst, size_t size, const char* src)
{
    size_t have = strnlen(dst, size);
    size_t len = strlen(src);
    if (have + len >= size) return false;
    memmove(dst + have, src, len + 1);
    return true;
}

const char* nextTextChar(const char* p)
{
    if (*p == '\0') return p;
    if (isLeadByte((unsigned char)*p) && p[1] != '\0') return p + 2;
    return p + 1;
}

const char* nextPathChar(const char* p)
{
    if (*p == '\0') return p;
    if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0') return p + 2;
    return p + 1;
}

static char foldedLetter(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// The length of a's beginning that matches all of b as a path; (size_t)-1 where b is not such a
// beginning of a.
static size_t samePathPrefix(const char* a, const char* b)
{
    const char* start = a;
    while (*a && *b) {
        const char* nextA = nextPathChar(a);
        const char* nextB = nextPathChar(b);
        if (nextA - a != nextB - b) break;
        if (nextA - a == 1 ? foldedLetter(*a) != foldedLetter(*b) : (a[0] != b[0] || a[1] != b[1])) break;
        a = nextA;
        b = nextB;
    }
    return *b == '\0' ? (size_t)(a - start) : (size_t)-1;
}

bool samePath(const char* a, const char* b)
{
    size_t prefix = samePathPrefix(a, b);
    return prefix != (size_t)-1 && a[prefix] == '\0';
}

bool isBelowFolder(const char* path, const char* folder)
{
    size_t prefix = samePathPrefix(path, folder);
    return prefix != (size_t)-1 && prefix > 0 && path[prefix] == '\\' && path[prefix + 1] != '\0';
}

bool formatWithPaths(char* buf, size_t size, const char* format, ...)
{
    // Each %s of the format becomes a marked %s; the format is the program's own text.
    char marked[MessageSize];
    size_t at = 0;
    for (const char* p = format; *p;) {
        bool path = p[0] == '%' && p[1] == 's';
        const char* next = p[0] == '%' && (p[1] == 's' || p[1] == '%') ? p + 2 : nextTextChar(p);
        size_t length = (size_t)(next - p);
        if (size == 0 || at + length + 2 >= sizeof marked) {
            if (size) buf[0] = '\0';
            return false;
        }
        if (path) marked[at++] = PathStart;
        memcpy(marked + at, p, length);
        at += length;
        if (path) marked[at++] = PathEnd;
        p = next;
    }
    marked[at] = '\0';
    va_list args;
    va_start(args, format);
    bool ok = formatArguments(buf, size, marked, args);
    va_end(args);
    return ok;
}

const char* withoutPathMarks(const char* text, char* out, size_t size)
{
    if (size == 0) return out;
    size_t at = 0;
    for (const char* p = text; *p && at + 1 < size; ++p)
        if (*p != PathStart && *p != PathEnd) out[at++] = *p;
    out[at] = '\0';
    return out;
}

char* lastBackslash(char* s)
{
    char* found = nullptr;
    for (char* p = s; *p; p = (char*)nextPathChar(p))
        if (*p == '\\') found = p;
    return found;
}

bool endsWithBackslash(const char* s)
{
    const char* last = nullptr;
    for (const char* p = s; *p; p = nextPathChar(p)) last = p;
    return last && *last == '\\';
}

void dropTrailingBackslash(char* folder)
{
    size_t len = strlen(folder);
    if (len > 2 && endsWithBackslash(folder)) folder[len - 1] = '\0';
}

void toWideText(const char* text, unsigned textCodePage, wchar_t* out, size_t count)
{
    if (count == 0) return;
    out[0] = 0;
    if (!text) return;
    size_t at = 0;
    bool inPath = false;
    for (const char* p = text;;) {
        const char* end = p;
        while (*end && *end != PathStart && *end != PathEnd) ++end;
        if (end > p) {
            // Room 0 would ask for the length instead of converting.
            int room = (int)(count - at - 1);
            int units = room > 0
                            ? MultiByteToWideChar(inPath ? CP_ACP : textCodePage, 0, p, (int)(end - p), out + at, room)
                            : 0;
            if (units <= 0) {
                out[0] = 0;
                return;
            }
            at += (size_t)units;
        }
        out[at] = 0;
        if (*end == '\0') return;
        inPath = *end == PathStart;
        p = end + 1;
    }
}
