// The launcher's progress display: status line with spinner, elapsed-time clock and slideshow.
// The copy run drives these from the install thread through the report the launcher gives it.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "config/product_config.h"
#include "engine/progress_report.h"

extern uint32_t elapsedBase;
extern int32_t elapsedHours, elapsedMinutes, elapsedSeconds;
extern int32_t spinnerIndex;
extern uint32_t spinnerTurned;  // time of the spinner's last quarter turn

// The display the launcher hands to the installer.
extern const ProgressReport launcherProgress;

BOOL setLauncherText(const char* text, int index);
// The clock and the sounds take winmm from the system folder: called once at start-up.
void loadMultimedia();
void tickStatusAndClock();
// Shows a picture and plays a sound. The picture belongs to the launcher's thread: called from
// another thread, it asks that thread (WM_SHOWSLIDE) and waits until it is done.
int showSlide(const char* bitmap, const char* sound);
inline int showSlide(const SlideEntry& slide) { return showSlide(slide.bitmap, slide.sound); }
int showRegisteringSlide();
// The picture shown last, loaded and scaled again (after a change of DPI).
void showSlideAgain();
void resetSlideshow();
int advanceSlideshow(int32_t step);
void resetElapsedClock();

// Sent to the launcher by showSlide from another thread; lParam points to the request, which the
// launcher's procedure passes to showRequestedSlide.
enum { WM_SHOWSLIDE = WM_APP + 33 };
void showRequestedSlide(LPARAM request);
