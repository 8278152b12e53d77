// The main window: toolbar, process list and status bar; its two dispatch tables; the
// operations other parts use to refresh the list and keep commands and status in step.
#pragma once
#include <windows.h>

#include "app/appstate.h"
#include "app/msgmap.h"

struct ProcessRecord;

const int kToolbarId = 103;
const int kStatusBarId = 133;
const UINT WM_LISTEVENT = WM_USER + 1; // posted list clicks and keys

extern HWND g_toolbar;
extern HWND g_statusBar;
extern bool g_listFrozen;
extern HCURSOR g_finderCursor;

extern const MessageMap g_mainMessageMap;
extern const CommandMap g_mainCommandMap;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Ends a module-usage filter, then refreshes the list.
void RefreshMain();
// Refreshes the list as it is, a module-usage filter included, and shows a lost selection in the
// commands and the status line.
void RefreshMainList();
void UpdateCommandStates(const ProcessRecord *record);
void UpdateStatusText(const ProcessRecord *record);
// Commands and status line for the selected record, or for no selection (null).
void ShowSelection(const ProcessRecord *record);
void PopupSubmenu(HMENU menu, const char *title);
// Selects and shows the main-list row of the process (or clears the selection when it has no
// row) and brings commands and status line up to date; true when the row was found.
bool SelectProcessById(DWORD id);
