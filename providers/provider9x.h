// The provider of the Windows 9x family: processes, threads, modules and heaps from ToolHelp32
// snapshots, every entry point called through g_toolhelpApi.
#pragma once
#include <windows.h>

#include <vector>

#include "core/listlines.h"
#include "core/processrecord.h"
#include "providers/provider.h"

// Reads one record per process whose main module is found; the refresh pass ignores the result.
BOOL W9xReadProcesses(std::vector<ProcessRecord> *reading);
// Adds one line per thread of the process to `lines`, the thread id kept beside it; true when
// anything was read.
BOOL W9xListThreads(DWORD processId, ListLines *lines);
// Calls `callback` once per module of the process. Returns 1.
BOOL W9xEnumerateModules(DWORD processId, ModuleCallback callback, void *user);
// Adds one line per heap of the process to `lines`, the heap's identifier kept beside it.
void W9xListHeaps(DWORD processId, ListLines *lines);
// Adds one line per block of one heap of the process to `lines`, its address kept beside it.
void W9xListHeapBlocks(DWORD processId, ULONG_PTR heapId, ListLines *lines);
