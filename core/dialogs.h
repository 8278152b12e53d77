// What every dialog of the program shares, views and actions alike: the font on double-byte
// systems, and what a view is opened for.
#pragma once
#include <windows.h>

#include "core/processrecord.h"

// What a view is about, handed from the command that opens it and kept by its host for as long
// as it is open: the process and the caption (or, for the Version view, the file's path). Two
// views never share one.
struct ViewSubject {
    ProcessRef process; // id 0: none
    char ViewTitle[MAX_PATH];
};

// On a double-byte system, gives the dialog and its controls the main list's font.
void ApplyDbcsFont(HWND dialog);

// The opener: fills `subject` with the main list's selected process and the caption `title`,
// followed by the process's name when `withName` is set (the whole caption cut to at most 258
// characters). Returns the process's identifier (0 = nothing selected).
DWORD PrepareProcessView(const char *title, bool withName, ViewSubject *subject);
