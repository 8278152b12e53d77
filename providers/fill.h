// The layer between views and providers: picks the active provider, hands the views its lines
// (core/listlines.h) or modules, and runs the refresh cycle of the main list.
#pragma once
#include <windows.h>

#include "core/listlines.h"
#include "providers/provider.h"

// Add the lines of the process's threads, heaps (9x only) or one heap's blocks to `lines`.
BOOL FillThreadList(DWORD processId, ListLines *lines);
void FillHeapList(DWORD processId, ListLines *lines);
void FillHeapBlockList(DWORD processId, ULONG_PTR heapId, ListLines *lines);
// Calls `callback` once per module of the process.
BOOL FillModuleList(DWORD processId, ModuleCallback callback, void *user);
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
