// The launcher's progress bar as the copy run moves it.
#include "state/installer.h"
#include "engine/progress_report.h"
#include "state/copy_state.h"

#include <commctrl.h>

void Installer::setProgressReport(const ProgressReport* report) { progress = report ? report : &noProgressReport; }

void Installer::resetProgressBar(int range)
{
    HWND bar = GetDlgItem(messageOwner, progressCtrlId);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, LOWORD(range)));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
}

// Moves the bar forward by steps, never past ProgressBarSteps, with one message to the bar.
static void advanceProgressBar(Installer& in, uint64_t steps)
{
    if (in.progressSteps >= ProgressBarSteps || steps == 0) return;
    uint64_t room = (uint64_t)(ProgressBarSteps - in.progressSteps);
    in.progressSteps += (int32_t)(steps < room ? steps : room);
    // One message however far the bar moves: each costs a round trip to the launcher's thread.
    SendDlgItemMessageA(in.messageOwner, in.progressCtrlId, PBM_SETPOS, (WPARAM)in.progressSteps, 0);
}

void Installer::updateProgress()
{
    // Below ProgressBarSteps bytes in all there is no whole step: the bar then counts single
    // bytes, which still ends within its steps.
    uint64_t copied = loadBytesCopied(*this);
    uint64_t units = progressUnitSize ? copied / progressUnitSize : copied;
    progressUnits = units;
    if (units == progressUnitsShown) return;
    if (units > progressUnitsShown) advanceProgressBar(*this, units - progressUnitsShown);
    progressUnitsShown = units;
}
