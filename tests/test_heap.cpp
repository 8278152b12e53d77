// The heap views, whose walk only real Windows 9x answers, over a fake ToolHelp32 heap walk.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"
#include "views/heap.h"

namespace {

// A fake heap walk: two heaps of one block each; the second has an identifier above 4 GB where
// addresses are that wide, so the double click must read it whole.
const ULONG_PTR kHeaps[] = {0x530000, sizeof(ULONG_PTR) > 4 ? ULONG_PTR(0x7FF612340000ull) : 0xC30000};
size_t g_nextHeap;
std::vector<ULONG_PTR> g_walked;

HANDLE WINAPI FakeSnapshot(DWORD, DWORD) { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
BOOL WINAPI FakeHeapListNext(HANDLE, HEAPLIST32 *entry)
{
    if (g_nextHeap >= 2)
        return FALSE;
    entry->dwFlags = g_nextHeap ? HF32_SHARED : HF32_DEFAULT;
    entry->th32HeapID = kHeaps[g_nextHeap++];
    return TRUE;
}
BOOL WINAPI FakeHeapListFirst(HANDLE snapshot, HEAPLIST32 *entry)
{
    g_nextHeap = 0;
    return FakeHeapListNext(snapshot, entry);
}
BOOL WINAPI FakeHeapNext(HEAPENTRY32 *) { return FALSE; }
BOOL WINAPI FakeHeapFirst(HEAPENTRY32 *entry, DWORD, ULONG_PTR heapId)
{
    g_walked.push_back(heapId);
    entry->dwAddress = heapId + 16;
    entry->dwBlockSize = 20;
    entry->dwFlags = LF32_FREE;
    return TRUE;
}

BOOL WINAPI NoHeapList(HANDLE, HEAPLIST32 *) { return FALSE; }

TEST(HeapViews, ListsHeapsAndOpensTheBlocksOfTheDoubleClickedOne)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    const ToolhelpApi savedApi = g_toolhelpApi;
    const bool savedIsNt = IsNt;
    IsNt = false; // heaps are walked on the 9x family only
    g_toolhelpApi = {FakeSnapshot, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     FakeHeapListFirst, FakeHeapListNext, FakeHeapFirst, FakeHeapNext};
    kvtest::ListHost host;
    ProcessRecord record = {};
    record.id = 0x7F000010;
    lstrcpyA(record.name, "HEAPY.EXE");
    host.SelectRecord(record);

    std::vector<std::string> heaps, blocks;
    std::string title, blocksTitle;
    kvtest::RunViewCommand(host, OnHeapCommand, [&](HWND view) {
        title = kvtest::WindowText(view);
        HWND list = GetDlgItem(view, IDC_HEAP_LIST);
        heaps = kvtest::ListLines(list);
        SendMessageA(list, LB_SETCURSEL, 1, 0);
        g_walked.clear();
        kvtest::WhileShown(
            "KELVANEDLG", IDC_HEAPBLOCK_LIST,
            [&] { SendMessageA(view, WM_COMMAND, MAKEWPARAM(IDC_HEAP_LIST, LBN_DBLCLK), LPARAM(list)); },
            [&](HWND blocksView) {
                blocksTitle = kvtest::WindowText(blocksView);
                blocks = kvtest::ListLines(GetDlgItem(blocksView, IDC_HEAPBLOCK_LIST));
                SendMessageA(blocksView, WM_CLOSE, 0, 0);
            });
    });
    // No heap can be read: the view says so in one line.
    g_toolhelpApi.Heap32ListFirst = NoHeapList;
    std::vector<std::string> none;
    kvtest::RunViewCommand(host, OnHeapCommand, [&](HWND view) {
        none = kvtest::ListLines(GetDlgItem(view, IDC_HEAP_LIST));
    });
    g_toolhelpApi = savedApi;
    IsNt = savedIsNt;
    EXPECT_EQ(std::vector<std::string>{"(No heap of this process can be read.)"}, none);
    EXPECT_EQ("Heap -- HEAPY.EXE", title);
    ASSERT_EQ(2u, heaps.size());
    EXPECT_EQ("Heap blocks", blocksTitle);
    EXPECT_EQ(std::vector<ULONG_PTR>{kHeaps[1]}, g_walked);
    ASSERT_EQ(1u, blocks.size());
    EXPECT_NE(std::string::npos, blocks[0].find("\t00000020\tFree"));
}

} // namespace
