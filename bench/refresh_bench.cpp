// What a refresh of the main list costs, against the bare cost of looking at every process once
// (EnumProcesses, then OpenProcess + GetPriorityClass + CloseHandle for each), and how a reload
// grows with the number of processes.
//   refresh_bench [N]   starts N idle copies of kvchild.exe (default 100) for the run
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/benchkit.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "providers/fill.h"
#include "providers/provider.h"
#include "providers/sysinfo.h"

namespace {

const int kRuns = 7;
const char kWindowClass[] = "KvRefreshBench";

LRESULT CALLBACK BenchWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        LRESULT result = 0; // also for LVN_DELETEALLITEMS: each item is then reported
        AnswerListNotify(reinterpret_cast<NMHDR *>(lParam), &result);
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateBenchWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BenchWndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 500, 300, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

// The main list as the program makes it: owner-data, its cells asked from the process table.
HWND CreateBenchList(HWND window)
{
    return CreateProcessList(window, WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                             WS_EX_CLIENTEDGE, g_columns, g_columnCount, kProcessListId);
}

// An ordinary list view with the same columns, whose rows are items of its own: the list view's
// own cost of holding as many rows, the floor the reloads are measured against.
HWND CreateOrdinaryList(HWND window)
{
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
                                500, 300, window, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int i = 0; list && i < g_columnCount; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = g_columns[i].width;
        column.pszText = const_cast<char *>("");
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    return list;
}

ProcessSnapshot g_snapshot;

// A steady pass that cannot ask for the processes' start times and counters.
void SteadyPassWithoutSystemFigures(HWND list)
{
    const NtApi saved = g_ntApi;
    g_ntApi.NtQuerySystemInformation = nullptr;
    RefreshProcessList(list);
    g_ntApi = saved;
}

// What a full read asks of the system for every process, without handing anything to the list.
void ReadEveryProcess()
{
    static DWORD ids[16384];
    DWORD bytes = 0;
    if (!g_ntApi.EnumProcesses(ids, sizeof ids, &bytes))
        return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
        if (!process)
            continue;
        ULONG_PTR basic[6];
        if (g_ntApi.NtQueryInformationProcess)
            g_ntApi.NtQueryInformationProcess(process, 0, basic, sizeof basic, nullptr);
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (g_ntApi.EnumProcessModules(process, &module, sizeof module, &needed)) {
            char text[MAX_PATH];
            g_ntApi.GetModuleBaseNameA(process, module, text, sizeof text);
            GetPriorityClass(process);
            g_ntApi.GetModuleFileNameExA(process, module, text, sizeof text);
        }
        CloseHandle(process);
    }
}

unsigned g_seed = 12345;

char RandomLetter()
{
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<char>('a' + (g_seed >> 16) % 26);
}

std::vector<ProcessRecord> SyntheticProcesses(int count)
{
    std::vector<ProcessRecord> records(count);
    for (int i = 0; i < count; ++i) {
        ProcessRecord &record = records[i];
        std::memset(&record, 0, sizeof record);
        for (int c = 0; c < 12; ++c)
            record.name[c] = RandomLetter();
        std::strcpy(record.name + 12, ".exe");
        std::snprintf(record.path, sizeof record.path, "C:\\synthetic\\%s", record.name);
        record.id = 0x100000 + 4 * static_cast<DWORD>(i);
        record.parentId = 4;
        record.priorityClass = NORMAL_PRIORITY_CLASS;
    }
    return records;
}

// A reload: the reading merged into an empty table, then shown by the main list.
void FeedAll(HWND list, const std::vector<ProcessRecord> &records)
{
    MergeProcesses(records);
    ShowRows(list);
}

// The list view's own share of a reload of an item-by-item list: as many rows, appended with
// callback texts, but with no records, look-ups or comparisons.
void InsertBareRows(HWND list, int count)
{
    for (int i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
        item.iItem = i;
        item.pszText = LPSTR_TEXTCALLBACKA;
        const int index = static_cast<int>(
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < g_columnCount; ++column) {
            item.iSubItem = column;
            SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
        }
    }
}

// One measured piece of work and the untimed preparation before each run of it.
struct Workload {
    std::function<void()> prepare;
    std::function<void()> work;
    std::vector<double> times;
};

// Runs the workloads in turn, `runs` rounds, so that a change in the machine's load touches all
// of them alike; returns each one's median in milliseconds.
std::vector<double> MeasureInterleaved(std::vector<Workload> &workloads, int runs)
{
    for (int run = 0; run < runs; ++run)
        for (Workload &workload : workloads) {
            if (workload.prepare)
                workload.prepare();
            const double start = NowMs();
            workload.work();
            workload.times.push_back(NowMs() - start);
        }
    std::vector<double> medians;
    for (Workload &workload : workloads) {
        std::sort(workload.times.begin(), workload.times.end());
        medians.push_back(workload.times[workload.times.size() / 2]);
    }
    return medians;
}

} // namespace

int main(int argc, char **argv)
{
    const int childCount = argc > 1 ? std::atoi(argv[1]) : 100;
    g_instance = GetModuleHandleA(nullptr);
    if (!DetectOs()) {
        std::printf("the refresh bench measures the NT provider only\n");
        return 1;
    }
    SelectColumnSet(true);
    if (!BindProvider()) {
        std::printf("binding the provider failed\n");
        return 1;
    }
    HWND window = CreateBenchWindow();
    HWND list = window ? CreateBenchList(window) : nullptr;
    HWND ordinary = window ? CreateOrdinaryList(window) : nullptr;
    if (!list || !ordinary) {
        std::printf("could not create the process list\n");
        return 1;
    }
    g_processList = list;

    const std::vector<HANDLE> children = StartChildren(childCount);
    RefreshProcessList(list);
    const int rows = RowCount();
    int records = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        ++records;
    std::printf("%d children started; %d processes, %d rows\n", static_cast<int>(children.size()),
                records, rows);

    const auto clear = [list] { ForgetAllProcesses(list); };
    const unsigned allFigures = (1u << kExtraColumnCount) - 1;
    const auto figuresOff = [list] { ShowExtraColumns(list, 0); };
    const auto figuresOn = [list, allFigures] { ShowExtraColumns(list, allFigures); };
    std::vector<Workload> passes = {
        {nullptr, LookAtEveryProcess, {}},
        {nullptr, ReadEveryProcess, {}},
        {figuresOff, [list] { RefreshProcessList(list); }, {}},
        {clear, [list] { RefreshProcessList(list); }, {}},
        {nullptr, [list] { SteadyPassWithoutSystemFigures(list); }, {}},
        {nullptr, [] { TakeProcessSnapshot(&g_snapshot); }, {}},
        {figuresOn, [list] { RefreshProcessList(list); }, {}},
    };
    const std::vector<double> pass = MeasureInterleaved(passes, kRuns);
    const double floor = pass[0];
    const char *const labels[] = {
        nullptr,
        "full read of every process, no list",
        "steady refresh pass",
        "full reload",
        "steady pass without system figures",
        "system process query alone",
        "steady pass, all figure columns",
    };
    std::printf("floor (enumerate, open, priority)   %8.2f ms\n", floor);
    for (size_t i = 1; i < pass.size(); ++i)
        std::printf("%-36s%8.2f ms  %5.2fx floor\n", labels[i], pass[i], pass[i] / floor);
    figuresOff();
    ForgetAllProcesses(list);
    KillChildren(children);

    const std::vector<ProcessRecord> small = SyntheticProcesses(2048);
    const std::vector<ProcessRecord> large = SyntheticProcesses(10000);
    const auto clearOrdinary = [ordinary] { SendMessageA(ordinary, LVM_DELETEALLITEMS, 0, 0); };
    std::vector<Workload> reloads = {
        {clearOrdinary, [ordinary] { InsertBareRows(ordinary, 2048); }, {}},
        {clear, [list, &small] { FeedAll(list, small); }, {}},
        {clearOrdinary, [ordinary] { InsertBareRows(ordinary, 10000); }, {}},
        {clear, [list, &large] { FeedAll(list, large); }, {}},
    };
    const std::vector<double> reload = MeasureInterleaved(reloads, 3);
    ForgetAllProcesses(list);
    std::printf("synthetic reload, 2048 processes    %8.2f ms  %5.2fx bare list insertion\n",
                reload[1], reload[1] / reload[0]);
    std::printf("synthetic reload, 10000 processes   %8.2f ms  %5.2fx bare list insertion\n",
                reload[3], reload[3] / reload[2]);
    std::printf("ratio 10000/2048                    %8.2f     (linear 4.9, quadratic 23.8; "
                "bare list insertion %.2f)\n",
                reload[3] / reload[1], reload[2] / reload[0]);

    g_processList = nullptr;
    DestroyWindow(window);
    return 0;
}
