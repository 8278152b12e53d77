// Find Handle or DLL: a window beside the main window that searches every process's handle names
// and module paths for a text, a few processes per timer step, so that no window waits on it.
#pragma once
#include <windows.h>

// Opens the window, or brings the open one forward.
LRESULT OnFindHandleCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
