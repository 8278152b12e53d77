// Set Priority: shows the priority class of the process selected in the main list and lets the
// user choose another one.
#pragma once
#include <windows.h>

// Command 40009: opens the priority dialog for the selected process and refreshes the main list
// after OK. Nothing opens without a selection or when the process cannot be opened; OK changes
// nothing (and says so) when the process ended while the dialog was open. The dialog ends with 1
// after OK (whatever came of it), 2 on Cancel, 0 when closed or when the class cannot be read.
LRESULT OnPriorityCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
