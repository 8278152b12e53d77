// The layer between views and providers: picks the active provider, hands the views its lines
// (core/listlines.h) or modules, and reads the processes of a refresh pass.
#pragma once
#include <windows.h>

#include <vector>

#include "core/listlines.h"
#include "core/processrecord.h"
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
// Every process of the system, one record each, from the running family's provider: the reader
// the process table calls for a refresh pass.
void ReadProcesses(std::vector<ProcessRecord> *reading);
// Ends a 16-bit task inside a virtual DOS machine; 1 on success.
int TerminateWowTask(DWORD vdmProcessId, WORD task16);
