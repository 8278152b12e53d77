// Restarting the program with administrator rights: offered in the File menu while the program
// runs with a limited token an administrator could elevate. The new instance is told which
// window it replaces, so it starts despite the single-instance rule, and tells that window to
// end once its own exists.
#pragma once
#include <windows.h>

const UINT WM_TAKENOVER = WM_USER + 20; // from the new instance: its main window exists
const UINT_PTR kTakeoverTimerId = 102;  // how long a started instance is waited for

// Adds "Show Processes from All Users" (with the shield) to the File menu when it is worth it.
void OfferAllUsers(HMENU menu);
LRESULT OnAllUsersCommand(HWND window, WPARAM, WORD, LPARAM);
// The wait for the new instance is over: this window stays.
void EndTakeoverWait(HWND window);
LRESULT OnTakenOver(HWND window, UINT, WPARAM, LPARAM);
// The window named by the command line's switch, when it is a main window of this program;
// null otherwise (no switch, or anything else on the command line).
HWND WindowToTakeOver(const char *commandLine);
