// The process tree: every record of the process list placed under its parent, the main list's
// process selected, and the main list held still while the view is open. Selecting an item
// selects the same process in the main list.
#pragma once
#include <windows.h>
#include <commctrl.h>

struct ProcessRecord;

// Command 40022: opens the process tree owned by the main window.
LRESULT OnProcessTreeCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Empties the tree and builds it again from the record chain, selecting the item of process
// `selectId`. With no records (or no tree) the tree is left as it is. Returns 1.
int FillProcessTree(HWND tree, DWORD selectId);
// Places `record` under `parent` at `depth`, followed by every not yet placed record that names
// it as parent and is newer than it, each with its own subtree.
void AddTreeBranch(ProcessRecord *record, HWND tree, HTREEITEM parent, DWORD selectId,
                   int depth);
// Appends an expanded item under `parent`, selects it when asked, and writes it indented by
// two spaces per level to the save file while one is open.
HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, bool select, const char *text, int depth);
// Copies the item's text into `buffer`; true when the item has children.
bool GetTreeItemText(HWND tree, HTREEITEM item, char *buffer, int size);
