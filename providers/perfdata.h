// The NT thread reader: the threads of one process from the system's performance data
// (HKEY_PERFORMANCE_DATA, the Thread object), or, where the system has no Thread object, from
// the same kind of block built out of ToolHelp32 (threadblock.h). Both go through one walker.
#pragma once
#include <windows.h>

#include "core/listlines.h"
#include "providers/perfwalk.h"

// Adds one line per thread of `processId` to `lines`, the thread id kept beside it: the id ("%u",
// or "%08x" when `hex`), a tab, its current priority and the name of its priority setting. Null
// `lines` runs the whole read and adds nothing. TRUE when at least one thread was found.
BOOL ListPerfThreads(DWORD processId, bool hex, ListLines *lines);

// Where performance data comes from: the registry normally, a fake in tests.
struct PerfDataSource {
    // RegQueryValueExA on HKEY_PERFORMANCE_DATA; a null `data` asks for the size only.
    LONG (*query)(const char *valueName, BYTE *data, DWORD *bytes);
    // RegCloseKey(HKEY_PERFORMANCE_DATA), once a read is over.
    void (*close)();
};
extern const PerfDataSource g_registryPerfData;
extern PerfDataSource g_perfDataSource; // starts as g_registryPerfData

// Title indices from the English name table ("Counter 009"), looked up on the first call and
// kept while the performance data comes from the same source; 0 where a name is missing.
const PerfTitles &GetPerfTitles();

// The block for `valueName` in a fresh malloc'ed buffer that doubles from 16 KB until the whole
// reply fits (at most 64 MB). Null, with *size 0, when the query fails or the reply does not
// start with the "PERF" signature.
void *QueryPerfData(const char *valueName, size_t *size);
