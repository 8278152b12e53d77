// The module-usage view over the machine's real processes, filtering a real main list; and the
// heap views, whose walk only real Windows 9x answers, over a fake ToolHelp32 heap walk.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/mainwnd.h"
#include "app/processlist.h"
#include "fixtures.h"
#include "resource.h"
#include "views/heap.h"
#include "views/usage.h"

namespace {

class ModuleUsage : public kvtest::ViewTest {
protected:
    ModuleUsage() : ViewTest(OnModuleUsageCommand) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvtest_usage.exe"));
    }
    void TearDown() override
    {
        g_listFrozen = false;
        ViewTest::TearDown();
    }
    std::string MainTitle() const { return kvtest::WindowText(GetParent(host_->List())); }

    // Chooses the line of `module` (loaded from `hmodule`) as a click does, waits for the filter
    // and returns the count the line shows; -1 when there is no such line or no filter came.
    int Choose(HWND view, HMODULE hmodule, const std::string &module) const
    {
        char path[MAX_PATH], start[64];
        GetModuleFileNameA(hmodule, path, sizeof path);
        snprintf(start, sizeof start, "%s\t%0*llx\t", module.c_str(), int(2 * sizeof(void *)),
                 static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hmodule)));
        HWND list = GetDlgItem(view, IDC_USAGE_LIST);
        const std::vector<std::string> lines = kvtest::ListLines(list);
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string &line = lines[i];
            const size_t last = line.rfind('\t');
            if (line.compare(0, strlen(start), start) || lstrcmpiA(line.c_str() + last + 1, path))
                continue;
            SendMessageA(list, LB_SETCURSEL, i, 0);
            SendMessageA(view, WM_COMMAND, MAKEWPARAM(IDC_USAGE_LIST, LBN_SELCHANGE), LPARAM(list));
            if (!kvtest::PumpUntil([&] { return MainTitle() == g_windowTitle + (" -- " + module); }, 3000))
                return -1;
            return atoi(line.c_str() + line.rfind('\t', last - 1) + 1);
        }
        return -1;
    }
};

TEST_F(ModuleUsage, CountsSharedModulesAndFiltersTheMainListByTheChosenOne)
{
    const HMODULE self = GetModuleHandleA(nullptr), ntdll = GetModuleHandleA("ntdll.dll");
    int users = 0, sharers = 0, rowsAtClose = 0;
    const HWND view = Run([&](HWND shown) {
        EXPECT_EQ("Module usage", kvtest::WindowText(shown));
        // Only the processes running the test executable stay; the child goes.
        users = Choose(shown, self, "kelvane_tests.exe");
        EXPECT_TRUE(g_listFrozen);
        EXPECT_EQ(users, host_->RowCount());
        EXPECT_GE(host_->FindRow(GetCurrentProcessId()), 0);
        EXPECT_EQ(-1, host_->FindRow(child_.Id()));
        // A second choice starts from every process again: the child loads ntdll too. Other
        // processes of the machine may come and go meanwhile, so only ours are counted on.
        sharers = Choose(shown, ntdll, "ntdll.dll");
        EXPECT_GE(host_->FindRow(GetCurrentProcessId()), 0);
        EXPECT_GE(host_->FindRow(child_.Id()), 0);
        EXPECT_EQ(users, Choose(shown, self, "kelvane_tests.exe"));
        rowsAtClose = host_->RowCount();
    });
    ASSERT_TRUE(view);
    EXPECT_GE(sharers, 2);
    EXPECT_EQ(1, users);
    // The filter outlives the view; the command then clears it and opens nothing.
    EXPECT_TRUE(g_listFrozen);
    EXPECT_EQ(rowsAtClose, host_->RowCount());
    EXPECT_EQ(nullptr, kvtest::RunViewCommand(*host_, OnModuleUsageCommand, [](HWND) {}));
    EXPECT_FALSE(g_listFrozen);
    EXPECT_EQ(g_windowTitle, MainTitle());
    EXPECT_GE(host_->FindRow(child_.Id()), 0);
}

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
    g_toolhelpApi = savedApi;
    IsNt = savedIsNt;
    EXPECT_EQ("Heap -- HEAPY.EXE", title);
    ASSERT_EQ(2u, heaps.size());
    EXPECT_EQ("Heap blocks", blocksTitle);
    EXPECT_EQ(std::vector<ULONG_PTR>{kHeaps[1]}, g_walked);
    ASSERT_EQ(1u, blocks.size());
    EXPECT_NE(std::string::npos, blocks[0].find("\t00000020\tFree"));
}

} // namespace
