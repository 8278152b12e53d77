// Debug: after the user's Yes, starts the system's registered debugger on the selected process,
// unless it ended while the user was asked.
#pragma once
#include <windows.h>

// Command 40005.
LRESULT OnDebugCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
