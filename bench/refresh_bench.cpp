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
#include <vector>

#include "app/appstate.h"
#include "app/columns.h"
#include "app/processlist.h"
#include "providers/fill.h"
#include "providers/provider.h"

namespace {

const int kRuns = 7;
const char kWindowClass[] = "KvRefreshBench";

LARGE_INTEGER g_frequency;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

template <typename Work> double MedianMs(int runs, Work work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = NowMs();
        work();
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

LRESULT CALLBACK BenchWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        NMHDR *header = reinterpret_cast<NMHDR *>(lParam);
        if (header->code == LVN_GETDISPINFOA)
            return GetCellText(header);
        if (header->code == LVN_DELETEITEM)
            return OnDeleteItem(header);
        if (header->code == LVN_DELETEALLITEMS)
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateBenchList()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BenchWndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 500, 300,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return nullptr;
    return CreateProcessList(window, WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                             WS_EX_CLIENTEDGE, g_columns, g_columnCount, kProcessListId);
}

// kvchild.exe sits one folder above the bench programs.
bool HelperPath(char *path, DWORD size)
{
    const DWORD length = GetModuleFileNameA(nullptr, path, size);
    if (length == 0 || length >= size)
        return false;
    char *slash = std::strrchr(path, '\\');
    if (!slash)
        return false;
    *slash = '\0';
    slash = std::strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash - path) + sizeof "\\kvchild.exe" > size)
        return false;
    std::strcpy(slash, "\\kvchild.exe");
    return true;
}

// Waits until a started child can be looked at completely.
void WaitUntilLoaded(HANDLE process)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (g_ntApi.EnumProcessModules(process, &module, sizeof module, &needed) &&
            needed >= sizeof module)
            return;
        Sleep(10);
    }
}

std::vector<HANDLE> StartChildren(int count)
{
    std::vector<HANDLE> children;
    char path[MAX_PATH];
    if (!HelperPath(path, sizeof path))
        return children;
    for (int i = 0; i < count; ++i) {
        // A lifetime, so that children of a bench that dies do not idle forever.
        char commandLine[MAX_PATH + 32];
        std::snprintf(commandLine, sizeof commandLine, "\"%s\" --lifetime 600000", path);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            std::printf("could not start %s (error %lu)\n", path, GetLastError());
            break;
        }
        CloseHandle(info.hThread);
        children.push_back(info.hProcess);
    }
    for (HANDLE child : children)
        WaitUntilLoaded(child);
    return children;
}

void KillChildren(const std::vector<HANDLE> &children)
{
    for (HANDLE child : children)
        TerminateProcess(child, 0);
    for (HANDLE child : children) {
        WaitForSingleObject(child, 5000);
        CloseHandle(child);
    }
}

// The least any pass must do: enumerate, then open each process and read its priority class.
void LookAtEveryProcess()
{
    static DWORD ids[16384];
    DWORD bytes = 0;
    if (!g_ntApi.EnumProcesses(ids, sizeof ids, &bytes))
        return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ids[i]);
        if (!process)
            continue;
        GetPriorityClass(process);
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

// Median time of feeding all records into an emptied list, as a full reload does.
double SyntheticReloadMs(HWND list, const std::vector<ProcessRecord> &records)
{
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        ClearProcessList(list);
        const double start = NowMs();
        for (const ProcessRecord &record : records)
            AddOrUpdateProcess(list, &record);
        times.push_back(NowMs() - start);
    }
    ClearProcessList(list);
    std::sort(times.begin(), times.end());
    return times[1];
}

} // namespace

int main(int argc, char **argv)
{
    const int childCount = argc > 1 ? std::atoi(argv[1]) : 100;
    QueryPerformanceFrequency(&g_frequency);
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
    HWND list = CreateBenchList();
    if (!list) {
        std::printf("could not create the process list\n");
        return 1;
    }
    g_processList = list;

    const std::vector<HANDLE> children = StartChildren(childCount);
    RefreshProcessList(list);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    int records = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        ++records;
    std::printf("%d children started; %d processes, %d rows\n", static_cast<int>(children.size()),
                records, rows);

    const double floor = MedianMs(kRuns, LookAtEveryProcess);
    const double steady = MedianMs(kRuns, [list] { RefreshProcessList(list); });
    const double reload = MedianMs(kRuns, [list] {
        ClearProcessList(list);
        RefreshProcessList(list);
    });
    std::printf("floor (enumerate, open, priority)  %8.2f ms\n", floor);
    std::printf("steady refresh pass                %8.2f ms  %5.2fx floor\n", steady,
                steady / floor);
    std::printf("full reload                        %8.2f ms  %5.2fx floor\n", reload,
                reload / floor);
    ClearProcessList(list);
    KillChildren(children);

    const double small = SyntheticReloadMs(list, SyntheticProcesses(2048));
    const double large = SyntheticReloadMs(list, SyntheticProcesses(10000));
    std::printf("synthetic reload, 2048 processes   %8.2f ms\n", small);
    std::printf("synthetic reload, 10000 processes  %8.2f ms\n", large);
    std::printf("ratio 10000/2048                   %8.2f   (linear 4.9, quadratic 23.8, target below 10)\n",
                large / small);

    g_processList = nullptr;
    DestroyWindow(GetParent(list));
    return 0;
}
