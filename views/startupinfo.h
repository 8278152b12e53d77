// The Startup Information view: how the selected process was started (command line, current
// directory, image path, window title, desktop, show command), then its environment, one
// "NAME=value" line per variable in the order the process holds them.
#pragma once
#include <windows.h>

// Command 40029: opens the view for the process selected in the main list.
LRESULT OnStartupInfoCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
