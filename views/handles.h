// The Handles view of the selected process (NT family): each handle's type, name, value and
// access, in a list sorted by any column and refreshed as the Modules view is.
#pragma once
#include <windows.h>

LRESULT OnHandlesCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
