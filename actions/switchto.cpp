#include "actions/switchto.h"

#include "actions/kill.h"
#include "core/appstate.h"
#include "core/dialogs.h"
#include "core/processlist.h"
#include "resource.h"

bool SwitchToProcess(DWORD id)
{
    HWND window = FindActivatableWindow(id);
    if (!window) {
        ShowResMessage(g_processList, IDS_SWITCH_NO_WINDOW, MB_OK | MB_ICONEXCLAMATION);
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
    const DWORD id = GetSelectedProcess(g_processList, nullptr, 0);
    if (!id)
        return 0;
    // This program's active window, to come back to: the main window, or the view open over it
    // (the main window is disabled then, and activating it would leave the user nowhere to
    // click). Taken before the switch, which may activate the main window itself.
    HWND back = GetLastActivePopup(g_mainWindow);
    SwitchToProcess(id);
    if (LOWORD(wParam) == IDM_BRINGTOFRONT)
        SetForegroundWindow(back);
    return 0;
}
