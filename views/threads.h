// The threads view: one line per thread of the selected process with its identifier and
// current priority, refilled on its own timer.
#pragma once
#include <windows.h>

// Command 40006: opens the threads view of the process selected in the main list.
LRESULT OnThreadsCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
