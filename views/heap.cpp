#include "views/heap.h"

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "providers/fill.h"
#include "resource.h"

namespace {

// The identifier column holds 16 digits on the 64-bit build.
const int kHeapTabs[] = {
#ifdef _WIN64
    72, 112, 156, 200, 236, 280,
#else
    40, 80, 124, 168, 204, 248,
#endif
};
const int kBlockTabs[] = {
#ifdef _WIN64
    72, 112, 152, 192,
#else
    40, 80, 120, 160,
#endif
};

// Each heap's line keeps the heap's identifier.
void FillHeapsView(DialogHost *host)
{
    ListLines lines;
    FillHeapList(CurrentProcessId(host), &lines);
    // Every process has a heap: an empty list means none could be read, which the view says.
    if (lines.Count() == 0)
        lines.Add(ResText(IDS_HEAP_UNREADABLE), 0);
    ShowListLines(host->list, lines, false);
}

// The blocks view's state is the identifier of the heap it shows; its subject is the heaps
// view's.
void FillBlocksView(DialogHost *host)
{
    ListLines lines;
    FillHeapBlockList(CurrentProcessId(host), *HostState<ULONG_PTR>(host), &lines);
    ShowListLines(host->list, lines, false);
}

const DialogSpec kHeapBlocksView = {
    .listId = IDC_HEAPBLOCK_LIST,
    .headerId = IDC_HEAPBLOCK_HEADER,
    .headerString = IDS_HDR_HEAPBLOCKS,
    .tabCount = static_cast<int>(sizeof kBlockTabs / sizeof kBlockTabs[0]),
    .tabs = kBlockTabs,
    .fill = FillBlocksView,
};

// Double click on a heap: the blocks of the heap its line keeps.
void ShowBlocksOfSelection(DialogHost *host)
{
    ULONG_PTR heapId = 0;
    if (SelectedLineValue(host->list, &heapId) && heapId)
        OpenView(host->dialog, IDD_HEAPBLOCKS, &kHeapBlocksView, &heapId, &host->subject);
}

const DialogSpec kHeapView = {
    .listId = IDC_HEAP_LIST,
    .headerId = IDC_HEAP_HEADER,
    .headerString = IDS_HDR_HEAPS,
    .tabCount = static_cast<int>(sizeof kHeapTabs / sizeof kHeapTabs[0]),
    .tabs = kHeapTabs,
    .setTitle = true,
    .fill = FillHeapsView,
    .open = ShowBlocksOfSelection,
};

} // namespace

LRESULT OnHeapCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenProcessView(IDD_HEAP, ResText(IDS_TITLE_HEAP), &kHeapView);
    return 0;
}
