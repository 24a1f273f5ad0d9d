#include "engine/text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

bool formatText(char* buf, size_t size, const char* format, ...)
{
    if (size == 0) return false;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, size, format, args);
    va_end(args);
    if (n < 0 || (size_t)n >= size) {
        buf[0] = '\0';
        return false;
    }
    return true;
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

const char* nextChar(const char* p)
{
    if (*p == '\0') return p;
    if (isLeadByte((unsigned char)*p) && p[1] != '\0') return p + 2;
    return p + 1;
}

char* lastBackslash(char* s)
{
    char* found = nullptr;
    for (char* p = s; *p; p = (char*)nextChar(p))
        if (*p == '\\') found = p;
    return found;
}

bool endsWithBackslash(const char* s)
{
    const char* last = nullptr;
    for (const char* p = s; *p; p = nextChar(p)) last = p;
    return last && *last == '\\';
}

void dropTrailingBackslash(char* folder)
{
    size_t len = strlen(folder);
    if (len > 2 && endsWithBackslash(folder)) folder[len - 1] = '\0';
}
