#include "views/heap.h"

#include <cstdlib>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/save.h"
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

void FillHeapsView(DialogHost *host)
{
    FillHeapList(host->list, CurrentProcessId);
    // Every process has a heap: an empty list means none could be read, which the view says.
    if (SendMessageA(host->list, LB_GETCOUNT, 0, 0) == 0)
        SendMessageA(host->list, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(ResText(IDS_HEAP_UNREADABLE)));
}

// The blocks view's state is the identifier of the heap it shows.
void FillBlocksView(DialogHost *host)
{
    FillHeapBlockList(host->list, CurrentProcessId, *HostState<ULONG_PTR>(host));
}

const DialogSpec kHeapBlocksView = {
    .listId = IDC_HEAPBLOCK_LIST,
    .headerId = IDC_HEAPBLOCK_HEADER,
    .headerString = IDS_HDR_HEAPBLOCKS,
    .tabCount = static_cast<int>(sizeof kBlockTabs / sizeof kBlockTabs[0]),
    .tabs = kBlockTabs,
    .fill = FillBlocksView,
};

// Double click on a heap: the heap's identifier starts its line.
void ShowBlocksOfSelection(DialogHost *host)
{
    const LRESULT index = SendMessageA(host->list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;
    char *line = ReadListBoxLine(host->list, static_cast<int>(index));
    if (!line)
        return;
    ULONG_PTR heapId = static_cast<ULONG_PTR>(std::strtoull(line, nullptr, 16));
    std::free(line);
    if (heapId)
        OpenView(host->dialog, IDD_HEAPBLOCKS, &kHeapBlocksView, &heapId);
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
