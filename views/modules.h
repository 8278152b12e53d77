// The Modules view: the executable and the libraries loaded by the selected process, with load
// address, image size, the file's creation time and full path, refilled on its own timer. A
// double click shows the version record of a module's file.
#pragma once
#include <windows.h>

enum FileTimeKind {
    FileTimeCreated = 0,
    FileTimeModified = 1, // last write
};

// Writes one time of the file as the user's short date, `separator` and the time without
// seconds, in local time, into `output` (at most `limit` characters with the terminator). When
// the file cannot be opened, reports no such time or the text does not fit, writes "---" (cut to
// the limit) and returns false.
bool FormatFileTime(const char *path, char *output, int limit, const char *separator,
                    FileTimeKind which);

// Module callback of the view: adds "name, base, size, created, path" to `listBox`.
void AddModuleLine(void *user, HWND listBox, const char *name, ULONG_PTR base, SIZE_T size,
                   const char *path);

// Command 40007: opens the Modules view of the process selected in the main list.
LRESULT OnModulesCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
