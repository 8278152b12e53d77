#include "actions/switchto.h"

#include "actions/kill.h"
#include "core/appstate.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "resource.h"

bool SwitchToProcess(const ProcessRef &process)
{
    HWND window = FindActivatableWindow(process);
    if (!window) {
        ShowResMessage(g_mainWindow, IDS_SWITCH_NO_WINDOW, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    // Restored before activation, and waited for; a hung program must not hang this one too.
    if (GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZE) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(window, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 5000,
                            &ignored);
    }
    SetForegroundWindow(window);
    return true;
}

LRESULT OnSwitchToCommand(HWND, WPARAM wParam, WORD, LPARAM)
{
    const HeldProcess held(SelectedRecord());
    if (!held.Held())
        return 0;
    // This program's active window, to come back to: the main window, or the view open over it
    // (the main window is disabled then, and activating it would leave the user nowhere to
    // click). Taken before the switch, which may activate the main window itself.
    HWND back = GetLastActivePopup(g_mainWindow);
    SwitchToProcess(held.Ref());
    if (LOWORD(wParam) == IDM_BRINGTOFRONT)
        SetForegroundWindow(back);
    return 0;
}
