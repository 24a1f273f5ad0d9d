// The product table compiled into setup and the two build switches that fix its role.
#pragma once
#include <stdint.h>
#include <stddef.h>

struct SlideEntry {
    const char* bitmap;  // file in the medium's Data folder, or nullptr to keep the picture
    const char* sound;   // WAVE file in the same folder, or nullptr
    int32_t stepKey;     // progress step (0..999) at which a slideshow entry is shown
    int32_t shown;       // set once the entry was shown in the current copy run
};

struct ProductConfig {
    const char* setupTitle;
    const char* gameName;
    const char* publisherName;
    const char* folderName;
    const char* gameExe;
    const char* installRecordKey;
    const char* homePageUrl;
    const char** extraFiles;    // null-terminated
    const char** installFiles;  // null-terminated; entry 0 is replaced by gameExe at start-up
    const char** archiveList;   // null-terminated; not used by the engine
    int32_t discCount;
    const char** discLabels;  // discCount entries, null-terminated
    uint32_t requiredSpaceMB;
    SlideEntry slideNotInstalled;
    SlideEntry slideInstallStart;
    SlideEntry slideRegistering;
    SlideEntry slideInstalled;
    int32_t slideshowCount;
    SlideEntry* slideshow;
    // Name of the product's key in the installed-programs list (ASCII), and the version shown there
    // (nullptr: none).
    const char* uninstallEntry;
    const char* displayVersion;
};

// The product table; written at run time only in installFiles[0] (start-up) and the slideshow's
// shown flags (progress display).
extern ProductConfig productConfig;

// The notice with the system requirements, shown before an installation.
extern const char* const noticeText;

enum BuildMode : int32_t { Launcher = 0, UpdateInstaller = 1, Uninstaller = 2 };
extern const int32_t buildMode;
extern const uint8_t specialUninstallerBuild;

// Compile-time checks of a product's lists: every name fits a 128-byte name buffer and a list holds
// at most 100 files (the per-file selection flags).
constexpr size_t constexprLength(const char* s)
{
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}
template <size_t N>
constexpr bool namesFit(const char* const (&names)[N])
{
    for (size_t i = 0; i + 1 < N; ++i)
        if (names[i] == nullptr || constexprLength(names[i]) >= 128) return false;
    return names[N - 1] == nullptr;
}
template <size_t N>
constexpr bool listFits(const char* const (&names)[N])
{
    return namesFit(names) && N - 1 <= 100;
}

// Defines the mutable list NAME from the names given, refusing the build when they do not fit.
#define PRODUCT_LIST(NAME, ...)                                                                                        \
    static constexpr const char* NAME##Checked[] = {__VA_ARGS__, nullptr};                                             \
    static_assert(listFits(NAME##Checked), #NAME ": a name of 128 bytes or more, or over 100 files");                  \
    static const char* NAME[] = {__VA_ARGS__, nullptr}
#define PRODUCT_NAME(TEXT)                                                                                             \
    ([]() constexpr {                                                                                                  \
        static_assert(constexprLength(TEXT) < 128, "name of 128 bytes or more");                                       \
        return TEXT;                                                                                                   \
    }())
