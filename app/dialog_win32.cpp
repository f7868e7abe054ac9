// Win32 backend of the start dialog: dialog resource 101 (dialog_win32.rc) run
// modally by DialogBoxParamA, without owner.
#include <windows.h>

#include "app/dialog.h"

#include <cstdio>
#include <cstdlib>

#include "app/display_modes.h"

const char* const kStartDialogCaption = "        Zoduv aziridiru ZUR - 2014 ";

namespace {

constexpr int kStartDialogResource = 101;
constexpr int kAntialiasedBox = 1011;
constexpr int kWindowedBox = 1012;
constexpr int kModeList = 1014;

// What the dialog procedure works on; the dialog gets no parameter of its own.
struct DialogSubject {
    RuntimeState* state = nullptr;
    RunConfig* config = nullptr;
    DemoContext* context = nullptr;
};
DialogSubject subject;

INT_PTR CALLBACK startDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CheckDlgButton(dialog, kAntialiasedBox, BST_CHECKED);
        if (subject.config->dialogFirstInit) {
            for (const DisplayMode& mode : subject.state->displayModes)
                SendDlgItemMessageA(dialog, kModeList, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(modeLabel(mode.first, mode.second).c_str()));
            SendDlgItemMessageA(dialog, kModeList, CB_SETCURSEL,
                                static_cast<WPARAM>(defaultModeIndex(subject.state->displayModes)), 0);
            subject.config->dialogFirstInit = 0;
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            const int selected = static_cast<int>(SendDlgItemMessageA(dialog, kModeList, CB_GETCURSEL, 0, 0));
            applyDialogChoice(dialogChoice(subject.state->displayModes, selected,
                                           IsDlgButtonChecked(dialog, kAntialiasedBox) == BST_CHECKED,
                                           IsDlgButtonChecked(dialog, kWindowedBox) == BST_CHECKED),
                              *subject.state, *subject.config, *subject.context);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: // "Quit", Escape and the close box
            EndDialog(dialog, IDCANCEL);
            std::exit(0);
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

bool runStartDialog(RuntimeState& state, RunConfig& config, DemoContext& context)
{
    subject = DialogSubject{&state, &config, &context};
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kStartDialogResource),
                                           nullptr, startDialogProc, 0);
    if (result == -1 || result == 0) {
        // The resource or the dialog could not be made: the show still runs.
        std::fprintf(stderr, "Start dialog: cannot be shown; running windowed at 1280 x 720.\n");
        DialogChoice choice;
        choice.antialiased = config.antialiased != 0;
        applyDialogChoice(choice, state, config, context);
    }
    return true;
}
