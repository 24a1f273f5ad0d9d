#include "engine/path_key.h"

#include "platform/text.h"

std::string pathKey(const char* path)
{
    std::string key;
    for (const char* p = path; *p;) {
        const char* next = nextPathChar(p);
        if (next == p + 1 && *p >= 'a' && *p <= 'z')
            key += (char)(*p - 'a' + 'A');
        else
            key.append(p, next);
        p = next;
    }
    return key;
}
