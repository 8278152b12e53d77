// The Options submenu of the main window: checkable items that switch the boolean settings, the
// shortcut in the user's Startup folder that starts the program at logon, and the dialog that sets
// the refresh intervals.
#pragma once
#include <windows.h>

// Whether the option of a main-menu command is on: its setting, or for Load View at Startup
// whether the shortcut exists. The main window's command table shows it as the item's check mark.
bool OptionChecked(int command);

// Whether "\Kelvane.lnk" exists in the user's Startup folder (false when that folder is unknown).
bool StartupShortcutExists();
// Creates the shortcut when `on` and it is missing, deletes it when not `on` and it exists.
// Returns true when it did not exist before the call.
bool SetStartupShortcut(bool on);
// Checks "Load View at Startup" in `menu` exactly when the shortcut exists. The main window calls
// it when it is created; the item's state is never stored anywhere else.
void ShowStartupShortcutState(HMENU menu);

// Command handlers of the main window's command table.
// Start Minimized, Use System Tray, Allow Multiple Instances and Hex process Id: toggles the
// setting that belongs to the command in wParam.
LRESULT OnBooleanOption(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
// Load View at Startup.
LRESULT OnLoadAtStartup(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
// Set Refresh Times...: the modal dialog; OK stores the intervals and restarts the main timer.
LRESULT OnRefreshTimes(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
