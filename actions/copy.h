// Copy Path and Copy Row: the selected rows of the main list as text on the clipboard, one line
// per row in row order.
#pragma once
#include <windows.h>

// Command 40030: each selected row's full path.
LRESULT OnCopyPathCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
// Command 40032 (Ctrl+C): each selected row's cells as shown, joined by tabs, in column order.
LRESULT OnCopyRowCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
