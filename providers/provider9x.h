// The provider of the Windows 9x family: processes, threads, modules and heaps from ToolHelp32
// snapshots, every entry point called through g_toolhelpApi.
#pragma once
#include <windows.h>

#include <vector>

#include "core/processrecord.h"
#include "providers/provider.h"

// Reads one record per process whose main module is found; the refresh pass ignores the result.
BOOL W9xReadProcesses(std::vector<ProcessRecord> *reading);
// One line per thread of the process; true when anything was read.
BOOL W9xListThreads(HWND listBox, DWORD processId);
// Calls `callback` once per module of the process. Returns 1.
BOOL W9xEnumerateModules(HWND listBox, DWORD processId, ModuleCallback callback, void *user);
// One line per heap of the process.
void W9xListHeaps(HWND listBox, DWORD processId);
// One line per block of one heap of the process.
void W9xListHeapBlocks(HWND listBox, DWORD processId, ULONG_PTR heapId);
