#include "providers/fill.h"

#include <commctrl.h>

#include "core/appstate.h"
#include "providers/ntprovider.h"
#include "providers/provider9x.h"

namespace {

const int kNoTopIndex = -1;

// Freezes and empties a list box before a provider refills it. Returns the line that was at the
// top when `keepTop` is set, so the view does not jump back on every refresh.
int BeginFill(HWND listBox, bool keepTop)
{
    if (!listBox)
        return kNoTopIndex;
    SendMessageA(listBox, WM_SETREDRAW, FALSE, 0);
    const int top = keepTop ? static_cast<int>(SendMessageA(listBox, LB_GETTOPINDEX, 0, 0))
                            : kNoTopIndex;
    SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
    return top;
}

void EndFill(HWND listBox, int top)
{
    if (!listBox)
        return;
    if (top != kNoTopIndex)
        SendMessageA(listBox, LB_SETTOPINDEX, top, 0);
    SendMessageA(listBox, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listBox, nullptr, TRUE);
}

} // namespace

BOOL FillThreadList(HWND listBox, DWORD processId)
{
    const int top = BeginFill(listBox, true);
    const BOOL result = IsNt ? NtListThreads(listBox, processId) : W9xListThreads(listBox, processId);
    EndFill(listBox, top);
    return result;
}

BOOL FillModuleList(HWND listBox, DWORD processId, ModuleCallback callback, void *user)
{
    const int top = BeginFill(listBox, true);
    const BOOL result = IsNt ? NtEnumerateModules(listBox, processId, callback, user)
                             : W9xEnumerateModules(listBox, processId, callback, user);
    EndFill(listBox, top);
    return result;
}

void FillHeapList(HWND listBox, DWORD processId)
{
    BeginFill(listBox, false);
    if (!IsNt) // NT offers no heap walk
        W9xListHeaps(listBox, processId);
    EndFill(listBox, kNoTopIndex);
}

void FillHeapBlockList(HWND listBox, DWORD processId, ULONG_PTR heapId)
{
    BeginFill(listBox, false);
    if (!IsNt)
        W9xListHeapBlocks(listBox, processId, heapId);
    EndFill(listBox, kNoTopIndex);
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
