// What the views, actions and settings ask of the main window. Declared here, on the ground
// floor, and implemented by the main window in app/, so that nothing outside app/ needs to know
// how the main window is built: its toolbar, status bar and list-holding flag stay app/'s own.
#pragma once
#include <windows.h>

struct ProcessRecord;

const int kToolbarId = 103;                   // the main toolbar's control identifier
const UINT WM_LISTEVENT = WM_USER + 1;        // posted list clicks and keys (main list, views)

// Ends a module-usage filter, then refreshes the main list.
void RefreshMain();
// Refreshes the main list and keeps a module-usage filter in force; a selection the pass lost
// shows in the commands and the status line.
void RefreshMainKeepingFilter();
// Selects and shows the main-list row of the process (or clears the selection when it has no
// row) and brings commands and status line up to date; true when the row was found.
bool SelectProcessById(DWORD id);
// The status line for the selected record, or the process count for none (null).
void UpdateStatusText(const ProcessRecord *record);
// Shows `text` in the status line's first part until the selection changes (a command's outcome).
void ShowStatusNote(const char *text);
// Stops or resumes the status bar's drawing while the list is worked on.
void SetStatusRedraw(bool on);
// Shows or hides the status bar's graphs as the setting now says.
void ShowStatusGraphs(bool on);

// While the main list is held, its timer does not refresh it (the process tree and a
// module-usage filter hold it).
bool MainListHeld();
void HoldMainList(bool hold);
// Holds the main list as filtered by the module `moduleName`: the Module usage button shows
// pressed and the caption names the module (the caption stays when `moduleName` is null).
void ShowModuleFilter(const char *moduleName);

// Sets the check mark of every checkable main-menu command as its option now stands.
void ShowCommandChecks();

// The main toolbar (the Finder is dragged off one of its buttons).
HWND MainToolbar();

// The notification-area icon and the main list's refresh timer.
void SetTrayIcon(BOOL show);
void SetMainTimer(BOOL start);
