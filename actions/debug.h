// Debug: after the user's Yes, starts the system's registered debugger on the selected process.
#pragma once
#include <windows.h>

// Command 40005.
LRESULT OnDebugCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
