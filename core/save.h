// Saving lists as tab-separated text: the save dialog with its remembered path, the main list's
// file, and the shared output file the detail views write into.
#pragma once
#include <windows.h>

#include <cstdio>

extern FILE *g_saveFile; // open only while a view is being saved

// The filter list of a file dialog from a string of the table: every '|' turned into a zero
// byte, ending in two of them.
void MakeFileFilter(UINT stringId, char (&filter)[MAX_PATH + 2]);
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
