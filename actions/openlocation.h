// Open File Location: a folder window of the shell with the selected process's file selected.
#pragma once
#include <windows.h>

// Command 40045; enabled only while the selected row has a path.
LRESULT OnOpenLocationCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
