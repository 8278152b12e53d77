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

// What a command needs selected before it is enabled: NeedPath, a selected row with a known
// file path.
enum CommandNeed { NeedNothing, NeedSelection, NeedProcess, NeedPath, NeedSuspended };
// Where a command exists: everywhere, or on one family only (its menu item is removed elsewhere).
enum CommandPresence { Everywhere, NtOnly, Only9x };

// Every command of the main window is one row of one table: what runs it, what it needs, where
// it exists, its toolbar button and its check mark. Rows with a button stand in the toolbar's
// order; a separator goes before the first button of each group.
struct MainCommand {
    int command;
    CommandHandler handler;       // null: the command has no WM_COMMAND of its own (the Finder)
    CommandNeed need;
    CommandPresence presence;
    bool inMenu;                  // the main menu has an item for it
    int image;                    // toolbar image, or -1 for none
    int group;                    // toolbar group
    UINT tooltip;                 // toolbar tooltip string
    bool (*checked)(int command); // its check mark; null when it has none
};
const MainCommand *MainCommands(int *count);
bool CommandPresent(const MainCommand &row);

extern const MessageMap g_mainMessageMap;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void UpdateCommandStates(const ProcessRecord *record);
// Commands and status line for the selected record, or for no selection (null).
void ShowSelection(const ProcessRecord *record);
// The status part that counts the rows the filter lets through ("N of M processes"); empty
// while the filter is.
void ShowFilterCount();
void PopupSubmenu(HMENU menu, const char *title);
