// The layer between views and providers: picks the active provider, frames its output with the
// list-box housekeeping every view needs, and reads the processes of a refresh pass.
#pragma once
#include <windows.h>

#include <vector>

#include "core/processrecord.h"
#include "providers/provider.h"

BOOL FillThreadList(HWND listBox, DWORD processId);
BOOL FillModuleList(HWND listBox, DWORD processId, ModuleCallback callback, void *user);
void FillHeapList(HWND listBox, DWORD processId);
void FillHeapBlockList(HWND listBox, DWORD processId, ULONG_PTR heapId);
// True when the process is 64-bit and this program runs as a 32-bit program on 64-bit Windows,
// which cannot read the modules of such a process.
bool ProcessWiderThanProgram(DWORD processId);
// Every process of the system, one record each, from the running family's provider: the reader
// the process table calls for a refresh pass.
void ReadProcesses(std::vector<ProcessRecord> *reading);
// Ends a 16-bit task inside a virtual DOS machine; 1 on success.
int TerminateWowTask(DWORD vdmProcessId, WORD task16);
