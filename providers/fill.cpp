#include "providers/fill.h"

#include <commctrl.h>

#include "core/appstate.h"
#include "core/processlist.h"
#include "core/rowfilter.h"
#include "providers/ntprovider.h"
#include "providers/provider9x.h"

namespace {

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
