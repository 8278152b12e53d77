// The main window: toolbar, process list and status bar; its two dispatch tables; keeping
// commands and status in step with the selection. What the rest of the program asks of it is
// declared in core/mainwindow.h.
#pragma once
#include <windows.h>

#include "core/appstate.h"
#include "core/mainwindow.h"
#include "core/msgmap.h"

const int kStatusBarId = 133;

// The main window's own controls and state; outside app/ they are reached through
// core/mainwindow.h.
extern HWND g_toolbar;
extern HWND g_statusBar;
extern bool g_listFrozen;

extern const MessageMap g_mainMessageMap;
extern const CommandMap g_mainCommandMap;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void UpdateCommandStates(const ProcessRecord *record);
// Commands and status line for the selected record, or for no selection (null).
void ShowSelection(const ProcessRecord *record);
// The status part that counts the rows the filter lets through ("N of M processes"); empty
// while the filter is.
void ShowFilterCount();
void PopupSubmenu(HMENU menu, const char *title);
