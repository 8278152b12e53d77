// Figures of every process from one NtQuerySystemInformation(SystemProcessInformation) call: the
// creation time that tells a reused identifier from the process that had it before, and the
// counters of the process's threads, handles, times and memory.
#pragma once
#include <windows.h>

#include <vector>

#include "providers/sysprocwalk.h"

// Reads the figures of every process, sorted by identifier, into `entries` (emptied first).
// False, with `entries` empty, where the query is not bound or fails.
bool TakeProcessSnapshot(std::vector<SysProcessEntry> *entries);
// The entry of the process in a sorted snapshot, or null.
const SysProcessEntry *FindSnapshotEntry(const std::vector<SysProcessEntry> &entries, DWORD id);
