// The module-usage view: every module loaded by any listed process, with how many times it is
// loaded. Choosing a module filters the main list down to the processes that load it; the
// filter outlives the view until RefreshMain clears it. A double click shows the module's
// version record.
#pragma once
#include <windows.h>

// Command 40023, also the toolbar's toggle: clears an active module filter, or opens the view.
LRESULT OnModuleUsageCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
