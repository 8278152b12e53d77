// The dialog that chooses the extra columns of the main list (NT family).
#pragma once
#include <windows.h>

// Select Columns...: OK shows the chosen columns at once and saves the settings.
LRESULT OnSelectColumns(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
