#include "engine/installed_file_kind.h"

#include <string.h>

#include "config/kit_names.h"
#include "platform/text.h"

// The settings file, which the settings tool writes as the player: standard users may change it.
AccessListKind installedFileKind(const char* path)
{
    char copy[PathSize];
    if (!copyText(copy, sizeof copy, path)) return UsersRead;
    const char* slash = lastBackslash(copy);
    return _stricmp(slash ? slash + 1 : copy, SettingsFileName) == 0 ? UsersModify : UsersRead;
}
