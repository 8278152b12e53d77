// The System Information view: the machine's processor share and commit charge as graphs of
// their history, and its figures beside them. It takes a reading every second while it is open.
#pragma once
#include <windows.h>

// Command 40033 (Ctrl+I).
LRESULT OnSystemInfoCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

struct SystemFigures;
// The tooltip text of the status bar's graphs: the newest processor share and commit charge.
void FormatGraphTip(const SystemFigures &figures, char *text, size_t size);
