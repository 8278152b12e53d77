// Switch to and Bring to Front: activate a window of the process selected in the main list.
#pragma once
#include <windows.h>

#include "core/processrecord.h"

// Commands 40018 (Switch to) and 40024 (Bring to Front), told apart by the low word of `wParam`;
// Bring to Front gives the foreground back to the main window afterwards.
LRESULT OnSwitchToCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Restores and activates the process's window; false (after telling the user) when it has none.
bool SwitchToProcess(const ProcessRef &process);
