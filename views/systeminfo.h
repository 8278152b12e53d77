// The System Information view: the machine's processor share and commit charge as graphs of
// their history, and its figures beside them. It shows the sampler's readings as they come; F5
// reads the figures again without adding a sample.
#pragma once
#include <windows.h>

// Command 40033 (Ctrl+I).
LRESULT OnSystemInfoCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// The sampler took a reading: an open view shows it.
void ShowSystemSample();

struct SystemFigures;
// The tooltip text of the status bar's graphs: the newest processor share and commit charge.
void FormatGraphTip(const SystemFigures &figures, char *text, size_t size);
