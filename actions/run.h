// Run: starts a program, folder or document the user types, as the shell would open it, and
// remembers the last commands run.
#pragma once
#include <windows.h>

#include <cstddef>

const int kRunHistorySize = 10;  // commands remembered
const int kRunMaxChars = 2047;   // the longest command the box takes

// Command 40044: the Run dialog over the main window.
LRESULT OnRunCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// The remembered commands, newest first.
struct RunHistory {
    int count;
    char entries[kRunHistorySize][kRunMaxChars + 1];
};
// Reads the history from a stored value of `size` bytes (need not end with a zero): at most
// kRunHistorySize entries, none empty, none longer than kRunMaxChars, no repeats.
void ParseRunHistory(const char *text, size_t size, RunHistory *history);

// Opens `file` with `parameters` (may be empty) through the shell with `verb` (null: the
// default). On failure tells the user `shown` and the system's reason, with the `failedText`
// string, and returns false.
bool ShellOpen(HWND owner, const char *verb, const char *file, const char *parameters,
               UINT failedText, const char *shown);
