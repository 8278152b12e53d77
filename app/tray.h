// The notification-area icon and the main list's refresh timer of the main window. The main
// window's handlers decide when to show the icon and run the timer; this file knows nothing of
// them.
#pragma once
#include <windows.h>

#include "core/mainwindow.h" // SetTrayIcon, SetMainTimer

const UINT_PTR kMainTimerId = 100;
const UINT WM_TRAYEVENT = WM_USER + 2; // notification-area icon callback

bool TrayIconShown();
bool MainTimerRunning();

// The shell re-created the notification area ("TaskbarCreated"): add the icon again.
LRESULT OnTaskbarCreated(HWND window);
UINT TaskbarCreatedMessage();
