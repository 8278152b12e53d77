// Figures of every process from one NtQuerySystemInformation(SystemProcessInformation) call: the
// creation time that tells a reused identifier from the process that had it before, and the
// counters of the process's threads, handles, times and memory.
#pragma once
#include <windows.h>

#include <vector>

#include "providers/provider.h"
#include "providers/sysprocwalk.h"

struct ProcessSnapshot {
    std::vector<SysProcessEntry> entries; // sorted by identifier
    ULONGLONG takenAt; // when the query ran, in 100 ns units of a clock that only moves forward
};

// Reads the figures of every process into `snapshot` (emptied first). False, with no entries,
// where the query is not bound or fails.
bool TakeProcessSnapshot(ProcessSnapshot *snapshot);
// The entry of the process in a snapshot, or null.
const SysProcessEntry *FindSnapshotEntry(const ProcessSnapshot &snapshot, DWORD id);

// The share of the whole machine, in tenths of a percent, that a process used between two
// readings of its processor time (100 ns units) `elapsed` apart on `processors` processors; -1
// when it cannot be told (no time passed, or a counter that went backwards).
int CpuShareTenths(ULONGLONG previousCpu, ULONGLONG cpu, ULONGLONG previousTime, ULONGLONG time,
                   unsigned processors);

// Every logical processor of the machine: of all processor groups where the system counts them
// (`activeCount`), else of the whole machine as a 32-bit program on 64-bit Windows sees it
// (`nativeInfo`), else of the current group. Either function may be null.
unsigned CountProcessors(GetActiveProcessorCountFn activeCount, GetNativeSystemInfoFn nativeInfo);
