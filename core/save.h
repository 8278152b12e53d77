// Saving lists as tab-separated text: the save dialog with its remembered path, the main list's
// file, and the shared output file the detail views write into.
#pragma once
#include <windows.h>

#include <cstdio>

extern FILE *g_saveFile; // open only while a view is being saved

// The save dialog with the file types of string `filterId` and the default extension of string
// `extensionId`, proposing `path` and leaving the choice there; false when cancelled.
bool ChooseFileToWrite(HWND owner, UINT filterId, UINT extensionId, char (&path)[MAX_PATH]);
// The open dialog for an existing file of the types of string `filterId`; false when cancelled.
bool ChooseFileToOpen(HWND owner, UINT filterId, char (&path)[MAX_PATH]);
const char *ChooseSaveFile(HWND owner);
// Name, identifier and path of every shown row (F2 and Save As).
LRESULT SaveMainList(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
// Every shown column of every shown row as the list shows them, after a line of the titles.
LRESULT SaveAllColumns(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
FILE *OpenSaveFile(HWND owner);
// Closes the shared file; when anything went wrong while writing, tells the user. True when
// the file was written completely.
bool CloseSaveFile(HWND owner);
void SaveListBox(HWND owner, HWND listBox);
// Reads one list-box line at its own length; the caller frees it with std::free. Null on failure.
char *ReadListBoxLine(HWND listBox, int index);

// Writing a file of another kind (a dump, the list for scripts) the way the saves write theirs:
// into a new temporary file beside `path`, which takes the name only once it is complete, so that
// a failed write never leaves a broken file under it. Each returns 0 or the system's error code.
// Begin refuses an empty name, a path of MAX_PATH characters or more, a folder and a read-only
// file before anything is written, and otherwise makes the empty temporary file.
DWORD BeginReplacement(const char *path, char (&temp)[MAX_PATH]);
// Puts the complete temporary file in place of `path`. On failure the temporary file goes, unless
// it holds the only copy (Windows 95 deletes the old file before its rename).
DWORD CompleteReplacement(const char *temp, const char *path);
// Tells the user, over `owner`, string `formatId` filled with `subject` and the system's text for
// `error` (IDS_SAVE_FAILED for a file).
void ShowSystemFailure(HWND owner, UINT formatId, const char *subject, DWORD error);
