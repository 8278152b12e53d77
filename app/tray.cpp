#include "app/tray.h"

#include <shellapi.h>

#include "core/appstate.h"
#include "core/settings.h"

namespace {

bool g_timerStarted;
bool g_iconShown;

NOTIFYICONDATAA TrayRecord()
{
    NOTIFYICONDATAA record = {};
    // The first layout of the record (88 bytes on the 32-bit build, more on x64, where handles
    // are wider): understood by every shell version.
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = g_mainWindow;
    record.uID = 0;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYEVENT;
    record.hIcon = g_smallIcon;
    lstrcpynA(record.szTip, g_windowTitle, 64);
    return record;
}

} // namespace

// The icon's presence is tracked here, so that repeated restores add it once and a removal
// is only asked for when it is shown.
void SetTrayIcon(BOOL show)
{
    NOTIFYICONDATAA record = TrayRecord();
    if (show && !g_iconShown) {
        // A refused add with an icon still in place (the shell kept it) also leaves one icon.
        g_iconShown = Shell_NotifyIconA(NIM_ADD, &record) || Shell_NotifyIconA(NIM_MODIFY, &record);
    }
    else if (!show && g_iconShown) {
        Shell_NotifyIconA(NIM_DELETE, &record);
        g_iconShown = false;
    }
}

bool TrayIconShown()
{
    return g_iconShown;
}

void SetMainTimer(BOOL start)
{
    if (g_timerStarted) {
        KillTimer(g_mainWindow, kMainTimerId);
        g_timerStarted = false;
    }
    if (start && g_settings.mainRefresh > 0)
        g_timerStarted = SetTimer(g_mainWindow, kMainTimerId,
                                  RefreshPeriodMs(g_settings.mainRefresh), nullptr) != 0;
}

bool MainTimerRunning()
{
    return g_timerStarted;
}

UINT TaskbarCreatedMessage()
{
    static UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

LRESULT OnTaskbarCreated(HWND)
{
    // The new notification area has no icon of ours, whatever we remembered.
    g_iconShown = false;
    if (g_settings.useSysTray)
        SetTrayIcon(TRUE);
    return 0;
}
