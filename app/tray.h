// The notification-area icon and the main list's refresh timer: hiding the window stops the
// timer, bringing it back restarts it.
#pragma once
#include <windows.h>

const UINT_PTR kMainTimerId = 100;

void SetTrayIcon(BOOL show);
void SetMainTimer(BOOL start);
bool TrayIconShown();
bool MainTimerRunning();

LRESULT OnSysCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnTrayNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnOpenWindow(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
// The shell re-created the notification area ("TaskbarCreated"): add the icon again.
LRESULT OnTaskbarCreated(HWND window);
UINT TaskbarCreatedMessage();
