// The launcher's progress display: status line with spinner, elapsed-time clock and slideshow.
// The copy run drives these from the install thread; the installer's bar operations live beside them.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "config/product_config.h"

extern char statusText[1024];  // written by the copy worker, read by tickStatusAndClock

extern uint32_t elapsedBase;
extern int32_t elapsedHours, elapsedMinutes, elapsedSeconds;
extern int32_t spinnerIndex;
extern int32_t spinnerCounter;

BOOL setLauncherText(const char* text, int index);
void setStatusLine(const char* text);  // bounded write of statusText
// The clock and the sounds take winmm from the system folder: called once at start-up.
void loadMultimedia();
void tickStatusAndClock();
int showSlide(const char* bitmap, const char* sound);
inline int showSlide(const SlideEntry& slide) { return showSlide(slide.bitmap, slide.sound); }
int showRegisteringSlide();
// The picture shown last, loaded and scaled again (after a change of DPI).
void showSlideAgain();
void resetSlideshow();
int advanceSlideshow(int32_t step);
void resetElapsedClock();
