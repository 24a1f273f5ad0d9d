// Drives and discs: classification, the search for the product's disc and the disc prompt.
#include <string.h>

#include "state/installer.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "state/copy_state.h"
#include "platform/module_folder.h"
#include "engine/media.h"

DriveKind driveKind(const char* root, char* label, size_t labelSize)
{
    DriveKind kind;
    switch (GetDriveTypeA(root)) {
    case DRIVE_FIXED: kind = DriveKind::Fixed; break;
    case DRIVE_CDROM: kind = DriveKind::CdRom; break;
    case DRIVE_REMOVABLE: kind = DriveKind::Removable; break;
    case DRIVE_RAMDISK: kind = DriveKind::RamDisk; break;
    case DRIVE_REMOTE: kind = DriveKind::Remote; break;
    default: kind = DriveKind::Unknown; break;
    }
    char name[256];
    if (GetVolumeInformationA(root, name, sizeof name, nullptr, nullptr, nullptr, nullptr, 0))
        copyText(label, labelSize, name);
    return kind;
}

static bool fileOpensForReading(const char* path)
{
    FILE* f = fopen(path, "r");
    if (!f) return false;
    fclose(f);
    return true;
}

// Walks the CD-ROM drives c: to z:. With discIndex < 0 (the start-up search) every disc label is
// accepted and the probe file is looked up in the data folder; otherwise only the label of that
// disc, and sourceDir becomes the data folder when its identification file is there.
static bool searchDrives(Installer& in, int32_t discIndex, const char* folder, const char* probeFile,
                         bool formDataFolder)
{
    char root[4] = "c:\\";
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        root[0] = letter;
        char label[NameSize] = "";
        if (driveKind(root, label, sizeof label) != DriveKind::CdRom) continue;
        char drive[3] = {letter, ':', '\0'};
        char probe[PathSize];
        for (int32_t d = 0; d < in.discCount; ++d) {
            if (discIndex >= 0 && d != discIndex) continue;
            if (in.discLabels[d][0] == '\0') break;
            if (strcmp(label, in.discLabels[d]) != 0) continue;
            if (formDataFolder) {
                if (!formatText(in.sourceDir, sizeof in.sourceDir, "%s\\%s", drive, folder)) continue;
                if (!formatText(probe, sizeof probe, "%s\\%s", in.sourceDir, probeFile)) continue;
            } else {
                copyText(in.sourceDir, sizeof in.sourceDir, drive);
                if (!formatText(probe, sizeof probe, "%s\\%s\\%s", in.sourceDir, folder, probeFile)) continue;
            }
            if (fileOpensForReading(probe)) return true;
        }
    }
    return false;
}

bool Installer::locateSource(const char* folder, const char* probeFile)
{
    if (searchDrives(*this, -1, folder, probeFile, false)) return true;
    moduleFolder(sourceDir, sizeof sourceDir);
    return true;
}

bool Installer::findDisc(int32_t discIndex)
{
    if (discIndex < 0 || discIndex >= discCount) return false;
    for (int32_t d = 0; d <= discIndex; ++d)
        if (discLabels[d][0] == '\0') return false;
    char idName[16];
    formatText(idName, sizeof idName, "dcid.%03d", (int)(discIndex + 1));
    return searchDrives(*this, discIndex, folderName, idName, true);
}

bool Installer::waitForDisc(int32_t discIndex, bool unattended)
{
    // Nobody can insert a disc in an unattended run: a disc in no drive fails the copy.
    if (unattended && !findDisc(discIndex)) {
        logLine("disc %d is in no drive", (int)(discIndex + 1));
        return false;
    }
    while (!findDisc(discIndex)) {
        char text[MessageSize];
        formatText(text, sizeof text, "ディスク %d を入れてください。", (int)(discIndex + 1));
        showMessage(nullptr, text, "確認", MB_OK);
    }
    return true;
}
