#include "providers/fill.h"

#include "core/appstate.h"
#include "providers/ntprovider.h"
#include "providers/provider9x.h"

BOOL FillThreadList(DWORD processId, ListLines *lines)
{
    return IsNt ? NtListThreads(processId, lines) : W9xListThreads(processId, lines);
}

BOOL FillModuleList(DWORD processId, ModuleCallback callback, void *user)
{
    return IsNt ? NtEnumerateModules(processId, callback, user)
                : W9xEnumerateModules(processId, callback, user);
}

void FillHeapList(DWORD processId, ListLines *lines)
{
    if (!IsNt) // NT offers no heap walk
        W9xListHeaps(processId, lines);
}

void FillHeapBlockList(DWORD processId, ULONG_PTR heapId, ListLines *lines)
{
    if (!IsNt)
        W9xListHeapBlocks(processId, heapId, lines);
}

bool ProcessWiderThanProgram(DWORD processId)
{
    return IsNt && NtProcessWiderThanProgram(processId);
}

void ReadProcesses(std::vector<ProcessRecord> *reading)
{
    if (IsNt)
        NtReadProcesses(reading);
    else
        W9xReadProcesses(reading);
}

int TerminateWowTask(DWORD vdmProcessId, WORD task16)
{
    // The 9x family never binds the 16-bit task functions.
    return IsNt ? NtTerminateWowTask(vdmProcessId, task16) : 0;
}
