// tncfg.dat: the engine's 128-byte settings record, beside the program.
#pragma once
#include <stdint.h>

struct EngineSettings {
    int32_t movieDirectShow;
    int32_t hidden1;
    int32_t useSse;
    int32_t useSse2;
    int32_t useMultiCore;
    int32_t hidden5;
    int32_t fullscreenResolution;
    int32_t fullscreenScaling;
    int32_t drawMethod;
    int32_t titleDoubleClick;
    int32_t startWindow;
    int32_t engine[21];  // fields 11 to 31: carried, never edited
};
static_assert(sizeof(EngineSettings) == 128, "tncfg.dat is exactly 128 bytes");

enum SaveReason { NewFile = 0, FromDialog = 1 };

extern EngineSettings settings;  // the one record: loaded at start-up, edited by the dialog
extern char programFolder[260];  // lower-cased folder of the program, ending in one backslash

void determineProgramFolder();
int loadSettings();
int saveSettings(SaveReason reason);
void resetSettings();
