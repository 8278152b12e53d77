#include "views/heap.h"

#include <cstdlib>

#include "app/appstate.h"
#include "app/save.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/common.h"

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

// The heap the blocks view shows; set by the heap view before it opens that view.
ULONG_PTR CurrentHeapId;

void FillHeapsView(HWND, HWND list)
{
    FillHeapList(list, CurrentProcessId);
}

void FillBlocksView(HWND, HWND list)
{
    FillHeapBlockList(list, CurrentProcessId, CurrentHeapId);
}

const ListViewSpec kHeapBlocksView = {
    IDC_HEAPBLOCK_LIST,
    IDC_HEAPBLOCK_HEADER,
    IDS_HDR_HEAPBLOCKS,
    static_cast<int>(sizeof kBlockTabs / sizeof kBlockTabs[0]),
    kBlockTabs,
    nullptr, // no automatic refresh
    false,   // fixed size
    false,   // placed where the template says
    false,   // keeps the template caption
    FillBlocksView,
    nullptr,
    nullptr,
};

// Double click on a heap: the heap's identifier starts its line.
void ShowBlocksOfSelection(HWND dialog, HWND list)
{
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;
    char *line = ReadListBoxLine(list, static_cast<int>(index));
    if (!line)
        return;
    CurrentHeapId = static_cast<ULONG_PTR>(std::strtoull(line, nullptr, 16));
    std::free(line);
    if (CurrentHeapId)
        DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_HEAPBLOCKS), dialog, ListViewDialogProc,
                        reinterpret_cast<LPARAM>(&kHeapBlocksView));
}

bool HeapViewMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_HEAP_LIST || HIWORD(wParam) != LBN_DBLCLK)
        return false;
    ShowBlocksOfSelection(dialog, reinterpret_cast<HWND>(lParam));
    *result = TRUE;
    return true;
}

const ListViewSpec kHeapView = {
    IDC_HEAP_LIST,
    IDC_HEAP_HEADER,
    IDS_HDR_HEAPS,
    static_cast<int>(sizeof kHeapTabs / sizeof kHeapTabs[0]),
    kHeapTabs,
    nullptr, // no automatic refresh
    false,   // fixed size
    false,   // placed where the template says
    true,    // caption from ViewTitle
    FillHeapsView,
    nullptr, // saved as shown
    HeapViewMessage,
};

} // namespace

LRESULT OnHeapCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenProcessView(IDD_HEAP, g_titleHeap, &kHeapView);
    return 0;
}
