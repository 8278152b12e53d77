// Help and About: the About box (command 40004, F1) and the program's help file (command 40017).
#pragma once
#include <windows.h>

#include <cstddef>

// Command 40004: shows the About box, owned by the main window; it ends with 1 (Enter),
// 2 (Escape) or 0 (close box).
LRESULT OnAboutCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
// Command 40017: opens the index of the help file beside the program.
LRESULT OnHelpCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// The help file's path for a module path: the file name's extension (if any) replaced by ".hlp".
// A "." in a folder name is not an extension. False, with `help` empty, when it does not fit.
bool MakeHelpPath(const char *modulePath, char *help, size_t size);
