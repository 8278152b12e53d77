// What Find Handle or DLL costs: a search for "ntdll.dll" over every process, stepped on a timer
// as the Find window steps it, against the bare cost of looking at every process once
// (EnumProcesses, then OpenProcess + GetPriorityClass + CloseHandle for each). A second thread
// meanwhile sends the searching thread's window a message every 20 ms and reports the longest
// wait for an answer: what the main window's user would feel.
//   find_bench [N]   starts N idle copies of kvchild.exe (default 90) for the run
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/benchkit.h"
#include "core/appstate.h"
#include "providers/handlesearch.h"
#include "providers/provider.h"

namespace {

const int kRuns = 5;
const UINT kStepMs = 10;        // as the Find window: a step every 10 ms
const DWORD kStepBudgetMs = 45; // working at most this long before it lets messages through

// One search as the Find window runs it.
struct Search {
    SearchText text;
    std::vector<DWORD> targets;
    HandleSnapshot snapshot;
    size_t next;
    std::vector<DWORD> found; // processes with a match
    double longestStepMs;
};
Search g_search;

void NoteHit(void *, const SearchHit &hit)
{
    if (g_search.found.empty() || g_search.found.back() != hit.processId)
        g_search.found.push_back(hit.processId);
}

void StartSearch()
{
    g_search.found.clear();
    g_search.next = 0;
    g_search.longestStepMs = 0;
    const double start = NowMs();
    static DWORD ids[16384];
    DWORD bytes = 0;
    if (!g_ntApi.EnumProcesses(ids, sizeof ids, &bytes))
        bytes = 0;
    g_search.targets.assign(ids, ids + bytes / sizeof(DWORD));
    TakeHandleSnapshot(&g_search.snapshot);
    g_search.longestStepMs = NowMs() - start;
}

// One timer step; false once every process was searched.
bool SearchStep()
{
    const double started = NowMs();
    const DWORD start = GetTickCount();
    while (g_search.next < g_search.targets.size() && GetTickCount() - start < kStepBudgetMs)
        SearchProcess(&g_search.snapshot, g_search.targets[g_search.next++], g_search.text,
                      NoteHit, nullptr);
    g_search.longestStepMs = std::max(g_search.longestStepMs, NowMs() - started);
    return g_search.next < g_search.targets.size();
}

LRESULT CALLBACK BenchWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        if (!SearchStep()) {
            KillTimer(window, 1);
            PostQuitMessage(0);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Probe {
    HWND window;
    volatile bool stop;
    double longestMs;
};

DWORD WINAPI ProbeThread(LPVOID parameter)
{
    Probe &probe = *static_cast<Probe *>(parameter);
    while (!probe.stop) {
        const double start = NowMs();
        DWORD_PTR result;
        SendMessageTimeoutA(probe.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        probe.longestMs = std::max(probe.longestMs, NowMs() - start);
        Sleep(20);
    }
    return 0;
}

// A whole stepped search; returns its time, with the longest answer the probe waited for.
double RunSteppedSearch(HWND window, double *longestAnswerMs)
{
    Probe probe = {window, false, 0};
    HANDLE thread = CreateThread(nullptr, 0, ProbeThread, &probe, 0, nullptr);
    const double start = NowMs();
    StartSearch();
    SetTimer(window, 1, kStepMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    const double took = NowMs() - start;
    probe.stop = true;
    // Answer the probe's last message while waiting for it to end.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    CloseHandle(thread);
    *longestAnswerMs = probe.longestMs;
    return took;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int childCount = argc > 1 ? std::atoi(argv[1]) : 90;
    g_instance = GetModuleHandleA(nullptr);
    if (!DetectOs() || !BindProvider()) {
        std::printf("the find bench needs the NT provider\n");
        return 1;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BenchWndProc;
    windowClass.hInstance = g_instance;
    windowClass.lpszClassName = "KvFindBench";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "KvFindBench", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, g_instance, nullptr);
    const std::vector<HANDLE> children = StartChildren(childCount);
    PrepareSearchText("ntdll.dll", &g_search.text);

    std::vector<double> floors, searches, answers, steps;
    for (int run = 0; run < kRuns; ++run) {
        double start = NowMs();
        LookAtEveryProcess();
        floors.push_back(NowMs() - start);
        double answer = 0;
        searches.push_back(RunSteppedSearch(window, &answer));
        answers.push_back(answer);
        steps.push_back(g_search.longestStepMs);
    }
    const double floor = Median(floors), search = Median(searches);
    std::printf("%d children started; %d processes searched, %d with ntdll.dll\n",
                static_cast<int>(children.size()), static_cast<int>(g_search.targets.size()),
                static_cast<int>(g_search.found.size()));
    std::printf("floor (enumerate, open, priority)    %8.2f ms\n", floor);
    std::printf("find \"ntdll.dll\", stepped           %8.2f ms  %6.2fx floor\n", search,
                search / floor);
    std::printf("longest step (median of runs)        %8.2f ms  %6.2fx floor\n", Median(steps),
                Median(steps) / floor);
    std::printf("longest wait for the window's answer %8.2f ms (worst run %.2f ms)\n",
                Median(answers), *std::max_element(answers.begin(), answers.end()));
    FreeSearchText(&g_search.text);
    KillChildren(children);
    return 0;
}
