// The heap views (Windows 9x only): the heaps of the selected process with their sizes and
// flags; a double click on a heap opens the list of its blocks.
#pragma once
#include <windows.h>

// Command 40010: opens the heap view of the process selected in the main list.
LRESULT OnHeapCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
