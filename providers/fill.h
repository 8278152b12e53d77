// The layer between views and providers: picks the active provider, frames its output with the
// list-box housekeeping every view needs, and runs the refresh cycle of the main list.
#pragma once
#include <windows.h>

#include "providers/provider.h"

BOOL FillThreadList(HWND listBox, DWORD processId);
BOOL FillModuleList(HWND listBox, DWORD processId, ModuleCallback callback, void *user);
void FillHeapList(HWND listBox, DWORD processId);
void FillHeapBlockList(HWND listBox, DWORD processId, ULONG_PTR heapId);
// True when the process is 64-bit and this program runs as a 32-bit program on 64-bit Windows,
// which cannot read the modules of such a process.
bool ProcessWiderThanProgram(DWORD processId);
// One refresh pass over the main list: new processes get rows, ended ones lose theirs. True when
// no row is selected afterwards (a selected process may have ended), so that the caller can bring
// its commands and status line up to date.
bool RefreshProcessList(HWND list);
// Removing rows and records has three verbs: a row is hidden (its record stays in the chain), a
// process is forgotten (its record goes, with its row), a record's memory is freed.
// The sweep after a pass: the rows of processes the pass did not meet are forgotten, the rows of
// records a module-usage filter excludes are hidden.
void SweepRows(HWND list);
// Empties the list and the chain.
void ForgetAllProcesses(HWND list);
// Ends a 16-bit task inside a virtual DOS machine; 1 on success.
int TerminateWowTask(DWORD vdmProcessId, WORD task16);
