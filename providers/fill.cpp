#include "providers/fill.h"

#include <commctrl.h>

#include "core/appstate.h"
#include "core/processlist.h"
#include "core/rowfilter.h"
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

// Records without rows (never shown, or hidden by a filter) are not reached by the
// sweep over the rows; once a pass no longer meets their process they go too, or the chain would
// grow with every process that was ever inaccessible, and a later process with a reused
// identifier would inherit the hidden state.
void ForgetUnseenHiddenRecords()
{
    ProcessRecord *record = g_recordHead;
    while (record) {
        ProcessRecord *next = record->next;
        if ((record->flags & (RecordNoDetails | RecordExcluded | RecordFiltered)) &&
            !(record->flags & RecordSeen))
            FreeRecord(record);
        record = next;
    }
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

bool RefreshProcessList(HWND list)
{
    BeginRefreshPass();
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        record->flags &= ~RecordSeen;
    if (IsNt)
        NtEnumerateProcesses(list);
    else
        W9xEnumerateProcesses(list);
    SweepRows(list);
    ForgetUnseenHiddenRecords();
    if (RowFilterActive())
        ApplyRowFilter(list); // the identifier as shown follows the hexadecimal option
    EndNewHighlights(list);
    RepaintChangedFigures(list);
    return SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0;
}

void SweepRows(HWND list)
{
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = count - 1; index >= 0; --index) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam)
            continue;
        const ProcessRecord *record = reinterpret_cast<const ProcessRecord *>(item.lParam);
        if (!(record->flags & RecordSeen))
            SendMessageA(list, LVM_DELETEITEM, index, 0); // frees the record (OnDeleteItem)
        else if (record->flags & RecordExcluded)
            HideRow(list, index); // the process lives: its record keeps its age for the tree
    }
}

void ForgetAllProcesses(HWND list)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    while (g_recordHead)
        FreeRecord(g_recordHead);
}

int TerminateWowTask(DWORD vdmProcessId, WORD task16)
{
    // The 9x family never binds the 16-bit task functions.
    return IsNt ? NtTerminateWowTask(vdmProcessId, task16) : 0;
}
