// Ending the process selected in the main list after a confirmation, or asking one of its
// windows to close; and the search for a process's activatable window that Switch to shares.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/processrecord.h"

// Command 40003 (also Delete in the main list): asks, then kills or notifies the selected process
// and refreshes the list; a process that ended while the user was asked is left alone, and the
// user told so. With several selected, one Yes or No for all of them, and one message at the end
// for those skipped or not ended.
LRESULT OnKillCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Command 40040 (also Shift+Delete in the main list): the selected processes and every process
// below them, after one question for all, children before their parents.
LRESULT OnKillTreeCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Ends the process (or the 16-bit task) and waits a while for it; 0 when it was ended, else the
// string that says why not. Nobody is told.
UINT EndProcess(const ProcessRef &process);
// Ends the process (or the 16-bit task); nonzero when it was ended. Failures are reported to
// the user.
BOOL KillProcess(const ProcessRef &process);
// Brings a window of the process forward and asks it to close; false (after telling the user)
// when the process has no such window.
bool NotifyProcess(const ProcessRef &process);

// Walks the sibling chain from `first`, descending into the children of windows that do not
// belong to `id`, for a visible window with a system menu and none of `excludedStyles`.
// `byProcess` compares `id` with the window's process, otherwise with its creating thread.
HWND FindProcessWindow(DWORD id, HWND first, DWORD excludedStyles, bool byProcess);
// The window to activate for a process or 16-bit task: an ordinary window if there is one, else a
// pop-up, else a minimised window; null when none qualifies.
HWND FindActivatableWindow(const ProcessRef &process);

// "'NAME' (ID)?" with the single-byte letters a-z upper-cased, the identifier in decimal or, with
// `hex`, in hexadecimal; double-byte characters of `codePage` are copied whole. Cut to fit `size`
// (at least 1), the name giving way first.
void FormatKillQuestion(const char *name, DWORD id, bool hex, UINT codePage, char *out,
                        size_t size);
