// The applications view: the visible top-level windows that have a system menu, each with its
// small icon and title, in z-order. Choosing one selects its process in the main list; a
// double-click also brings that process's windows to the front.
#pragma once
#include <windows.h>

// Command 40025: opens the applications view (after refreshing a frozen main list).
LRESULT OnApplicationsCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Small icon of a window: its own, else its class's, else the system's application icon. Asks other programs
// with a time-out, so a hung one cannot stop the view.
HICON WindowSmallIcon(HWND window);

// Rebuilds the list view (and its image list) from the top-level windows; writes one line per
// window into the open save file, if any.
void FillApplications(HWND list);
