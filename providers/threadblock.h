// A second source of Thread-object data, for systems whose performance data has no Thread
// object: the threads of one process from ToolHelp32, their priorities from OpenThread and
// GetThreadPriority and the process's GetPriorityClass, laid out as a performance-data block
// (a Process object with the process's base priority, then a Thread object) for the walker.
#pragma once
#include <windows.h>

#include "providers/perfwalk.h"

// Titles for a built block when the name table gives none. Any distinct non-zero numbers would
// serve, as a built block is always walked with the titles it was built with.
extern const PerfTitles g_threadBlockTitles;

// A malloc'ed block describing `processId` and its threads, with its size in *size; null when
// the thread list cannot be read or memory runs out. Threads whose priority cannot be queried
// carry the base priority ToolHelp32 reports for them.
void *BuildThreadBlock(DWORD processId, const PerfTitles &titles, size_t *size);
