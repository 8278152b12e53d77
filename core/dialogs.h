// What every dialog of the program shares, views and actions alike: the font on double-byte
// systems, and the process a dialog is about with its title.
#pragma once
#include <windows.h>

extern char ViewTitle[MAX_PATH]; // the open dialog's title, or the file path for the Version view
extern DWORD CurrentProcessId;   // the process the open dialog is about

// On a double-byte system, gives the dialog and its controls the main list's font.
void ApplyDbcsFont(HWND dialog);

// Fills ViewTitle with prefix + the selected process's name (at most 258 characters) and
// CurrentProcessId with its identifier; returns the identifier (0 = nothing selected).
DWORD PrepareProcessView(const char *titlePrefix);
