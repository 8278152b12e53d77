// The process tree: every record of the process list placed under its parent, the process the
// view was opened for selected, and the main list held still while the view is open. Selecting an
// item selects the same process in the main list.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "core/processrecord.h"

// The processes of a filled tree; each item keeps its index here as its data (TVITEM.lParam).
typedef std::vector<ProcessRef> TreeItems;

// Command 40022: opens the process tree owned by the main window.
LRESULT OnProcessTreeCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Empties the tree and builds it again from the record chain, selecting the item of `select`,
// with `items` taking the items' processes. With no records (or no tree) the tree and `items`
// are left as they are. Returns 1.
int FillProcessTree(HWND tree, const ProcessRef &select, TreeItems *items);
// Appends an expanded item keeping `data` under `parent`, selects it when asked, and writes it
// indented by two spaces per level to the save file while one is open.
HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, bool select, const char *text, int depth,
                         LPARAM data = 0);
// Copies the item's text into `buffer`; true when the item has children.
bool GetTreeItemText(HWND tree, HTREEITEM item, char *buffer, int size);
