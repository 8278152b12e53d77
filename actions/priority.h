// Set Priority: shows the priority class of the process chosen in the main list and lets the user
// choose another one, for it or for every selected process.
#pragma once
#include <windows.h>

// Command 40009: opens the priority dialog for the selected process and refreshes the main list
// after OK. With several selected, the dialog shows the focused one's class and OK sets the
// chosen class on each that is still running, telling once at the end which were skipped or
// refused. Nothing opens without a selection or when the process cannot be opened; OK changes
// nothing (and says so) when the process ended while the dialog was open. The dialog ends with 1
// after OK (whatever came of it), 2 on Cancel, 0 when closed or when the class cannot be read.
LRESULT OnPriorityCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
