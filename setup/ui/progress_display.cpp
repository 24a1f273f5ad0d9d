#include "ui/progress_display.h"
#include "ui/dpi_scale.h"
#include "platform/display_text.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <stdio.h>

#include "state/installer.h"
#include "resources/resource.h"
#include "platform/system_library.h"
#include "ui/window_state.h"

uint32_t elapsedBase;
int32_t elapsedHours, elapsedMinutes, elapsedSeconds;
int32_t spinnerIndex;
uint32_t spinnerTurned;
static bool spinnerStarted;

// The spinner turns a quarter every 250 ms, however often the copy run asks.
enum { SpinnerQuarterMs = 250 };
// The clock: a second of milliseconds, sixty seconds a minute and sixty minutes an hour.
enum { SecondMs = 1000, SixtyUnits = 60 };

static const char* const spinner[4] = {"｜", "／", "―", "＼"};

// winmm is not a known DLL: it is taken from the system folder once, at start-up, before any
// other thread runs. Without it the clock runs on GetTickCount and the slideshow is silent.
typedef DWORD(WINAPI* TimeGetTimeFn)();
typedef BOOL(WINAPI* PlaySoundFn)(LPCSTR, HMODULE, DWORD);
static TimeGetTimeFn timeGetTimeFn;
static PlaySoundFn playSoundFn;

void loadMultimedia()
{
    timeGetTimeFn = (TimeGetTimeFn)(void*)systemFunction("winmm.dll", "timeGetTime");
    playSoundFn = (PlaySoundFn)(void*)systemFunction("winmm.dll", "PlaySoundA");
}

static DWORD clockNow() { return timeGetTimeFn ? timeGetTimeFn() : GetTickCount(); }

static void playSound(const char* path)
{
    if (playSoundFn) playSoundFn(path, nullptr, SND_ASYNC);
}

BOOL setLauncherText(const char* text, int index)
{
    return setItemText(launcherDialog, index == 0 ? IDC_STATUS : IDC_ELAPSED, text);
}

void tickStatusAndClock()
{
    if (statusText[0] == '\0') return;
    uint32_t now = clockNow();
    if (!spinnerStarted || now - spinnerTurned >= SpinnerQuarterMs) {
        spinnerStarted = true;
        spinnerTurned = now;
        char line[MessageSize + 8];
        snprintf(line, sizeof line, "%.1000s %s", statusText, spinner[spinnerIndex]);
        setLauncherText(line, 0);
        spinnerIndex = (spinnerIndex + 1) % (int)(sizeof spinner / sizeof spinner[0]);
    }

    if (now - elapsedBase > SecondMs) {
        elapsedBase += SecondMs;
        if (++elapsedSeconds == SixtyUnits) {
            elapsedSeconds = 0;
            if (++elapsedMinutes == SixtyUnits) {
                elapsedMinutes = 0;
                ++elapsedHours;
            }
        }
        char clock[32];
        snprintf(clock, sizeof clock, "%d:%02d:%02d", (int)elapsedHours, (int)elapsedMinutes, (int)elapsedSeconds);
        setLauncherText(clock, 1);
    }
}

void resetElapsedClock()
{
    elapsedBase = clockNow();
    elapsedHours = elapsedMinutes = elapsedSeconds = 0;
}

// The picture last shown, so that it can be shown again at another DPI.
static char shownPicture[PathSize];

namespace {
struct SlideRequest {
    const char* bitmap;
    const char* sound;
};
}  // namespace

void showRequestedSlide(LPARAM request)
{
    const SlideRequest* slide = (const SlideRequest*)request;
    if (slide) showSlide(slide->bitmap, slide->sound);
}

int showSlide(const char* bitmap, const char* sound)
{
    // A quiet installation has no launcher: nothing to show, and nothing is heard either.
    HWND launcher = launcherDialog;
    if (!launcher) return 1;
    if (GetWindowThreadProcessId(launcher, nullptr) != GetCurrentThreadId()) {
        // Only the launcher's thread loads, sets and deletes the picture, so a change of DPI
        // during a copy never meets a picture half replaced.
        SlideRequest request = {bitmap, sound};
        SendMessageA(launcher, WM_SHOWSLIDE, 0, (LPARAM)&request);
        return 1;
    }
    char path[PathSize];
    if (bitmap && formatText(path, sizeof path, "%s/Data/%s", installer.sourceRoot, bitmap)) {
        // The new picture is loaded first: when it cannot be, the old one stays on screen, and the
        // control never holds a bitmap that was deleted.
        HBITMAP loaded = (HBITMAP)LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        // Scaled once when it is loaded, by the dialog's growth at the current DPI.
        HBITMAP grown = loaded ? grownPicture(loaded, dialogGrowth(launcherDialog)) : nullptr;
        if (grown) {
            DeleteObject(loaded);
            loaded = grown;
        }
        if (loaded) {
            copyText(shownPicture, sizeof shownPicture, bitmap);
            SendDlgItemMessageA(launcherDialog, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)loaded);
            if (currentSlideBitmap) DeleteObject(currentSlideBitmap);
            currentSlideBitmap = loaded;
        }
    }
    if (sound && formatText(path, sizeof path, "%s/Data/%s", installer.sourceRoot, sound)) playSound(path);
    return 1;
}

int showRegisteringSlide() { return showSlide(productConfig.slideRegistering); }

void showSlideAgain()
{
    char picture[PathSize];
    copyText(picture, sizeof picture, shownPicture);
    if (picture[0] != '\0') showSlide(picture, nullptr);
}

void resetSlideshow()
{
    for (int32_t i = 0; i < productConfig.slideshowCount; ++i) productConfig.slideshow[i].shown = 0;
}

int advanceSlideshow(int32_t step)
{
    for (int32_t i = 0; i < productConfig.slideshowCount; ++i) {
        SlideEntry& entry = productConfig.slideshow[i];
        if (entry.shown == 0 && entry.stepKey == step) {
            entry.shown = 1;
            return showSlide(entry);
        }
    }
    return 0;
}

const ProgressReport launcherProgress = {resetElapsedClock, tickStatusAndClock,   resetSlideshow,
                                         advanceSlideshow,  showRegisteringSlide, setLauncherText};
