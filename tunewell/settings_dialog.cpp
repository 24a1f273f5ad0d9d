#include "display_text.h"
#include "settings_dialog.h"

#include "resource.h"
#include "settings_file.h"

namespace {

struct RadioGroup {
    int first, last;
    int32_t EngineSettings::*field;
};

const RadioGroup radioGroups[] = {
    {IDC_RESOLUTION_CHANGE, IDC_RESOLUTION_KEEP, &EngineSettings::fullscreenResolution},
    {IDC_SCALE_INSCRIBED, IDC_SCALE_NONE, &EngineSettings::fullscreenScaling},
    {IDC_DRAW_GPU_BICUBIC, IDC_DRAW_CPU_NEAREST, &EngineSettings::drawMethod},
    {IDC_TITLE_MAXIMISE, IDC_TITLE_RESTORE, &EngineSettings::titleDoubleClick},
    {IDC_START_LAST, IDC_START_CENTRED, &EngineSettings::startWindow},
};

struct CheckBox {
    int id;
    int32_t EngineSettings::*field;
};

const CheckBox checkBoxes[] = {
    {IDC_DIRECTSHOW, &EngineSettings::movieDirectShow},
    {IDC_SSE, &EngineSettings::useSse},
    {IDC_SSE2, &EngineSettings::useSse2},
    {IDC_MULTICORE, &EngineSettings::useMultiCore},
};

void onOk(HWND dialog)
{
    readSettingsFromDialog(dialog);
    saveSettings(FromDialog);
    EndDialog(dialog, 1);
}

void onDirectShow(HWND dialog)
{
    if (IsDlgButtonChecked(dialog, IDC_DIRECTSHOW) != BST_UNCHECKED) return;
    showMessage(
        dialog,
        "※ムービー再生に DirectShow を使用しない場合で、\r\n　フルスクリーン時の拡大方法が「拡大(外接)」の場合、\r\n　強制的に「拡大(内接)」でムービーが再生されます。",
        "情報", MB_OK);
}

}  // namespace

void showSettings(HWND dialog)
{
    for (const CheckBox& box : checkBoxes)
        CheckDlgButton(dialog, box.id, settings.*box.field != 0 ? BST_CHECKED : BST_UNCHECKED);
    // A value that names no button of its group leaves the group as it is.
    for (const RadioGroup& group : radioGroups) {
        int32_t value = settings.*group.field;
        if (value >= 0 && value <= group.last - group.first)
            CheckRadioButton(dialog, group.first, group.last, group.first + value);
    }
}

void readSettingsFromDialog(HWND dialog)
{
    for (const CheckBox& box : checkBoxes)
        settings.*box.field = IsDlgButtonChecked(dialog, box.id) == BST_CHECKED ? 1 : 0;
    settings.hidden5 = 0;
    // hidden1 has no control in the dialog: it keeps the value the record holds.
    for (const RadioGroup& group : radioGroups)
        for (int id = group.first; id <= group.last; ++id)
            if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) settings.*group.field = id - group.first;
}

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(dialog, IDOK));
        showSettings(dialog);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: onOk(dialog); break;
        case IDCANCEL: EndDialog(dialog, 2); break;
        case IDC_RESET:
            resetSettings();
            showSettings(dialog);
            break;
        case IDC_DIRECTSHOW: onDirectShow(dialog); break;
        default: break;
        }
        break;
    default: break;
    }
    return 0;
}
