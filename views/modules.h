// The Modules view: the executable and the libraries loaded by the selected process, with load
// address, image size, the file's creation time and full path, refilled on its own timer. A
// double click shows the version record of a module's file.
#pragma once
#include <windows.h>

// Command 40007: opens the Modules view of the process selected in the main list.
LRESULT OnModulesCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
