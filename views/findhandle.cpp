#include "views/findhandle.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processtable.h"
#include "core/reportlist.h"
#include "core/settings.h"
#include "providers/handlesearch.h"
#include "resource.h"

namespace {

const int kFindWidths[] = {70, 30, 60, 230};
const ReportColumns kFindColumns = {IDS_HDR_FIND, kFindWidths, 4, 1u << 1};

const UINT kStepMs = 10;       // the timer between steps
const DWORD kStepBudgetMs = 45; // the most one step works before it lets the windows answer

struct FoundProcess {
    DWORD id;
    char name[MAX_PATH];
};

struct FindState {
    ReportList report;
    SearchText search;
    std::vector<FoundProcess> processes;
    HandleSnapshot snapshot;
    bool haveSnapshot;
    bool running;
    size_t next;    // the next process to search
    unsigned notes; // SearchNote bits met so far
    int found;
};

struct HitContext {
    FindState *state;
    const FoundProcess *process;
};

void ShowStatus(DialogHost *host, UINT format, int first, int second)
{
    char text[256];
    std::snprintf(text, sizeof text, ResText(format), first, second);
    SetDlgItemTextA(host->dialog, IDC_FIND_STATUS, text);
}

void AddHit(void *user, const SearchHit &hit)
{
    HitContext &context = *static_cast<HitContext *>(user);
    char type[64], line[3 * MAX_PATH];
    if (hit.type)
        std::snprintf(type, sizeof type, ResText(IDS_FIND_HANDLE), hit.type);
    else
        lstrcpynA(type, ResText(IDS_FIND_DLL), sizeof type);
    const char *format = g_settings.hexProcessId ? "%s\t0x%lX\t%s\t%s" : "%s\t%lu\t%s\t%s";
    std::snprintf(line, sizeof line, format, context.process->name, static_cast<unsigned long>(hit.processId), type, hit.name);
    AddReportRow(&context.state->report, line, hit.processId);
    ++context.state->found;
}

void ShowRunning(DialogHost *host, bool running)
{
    HostState<FindState>(host)->running = running;
    EnableWindow(GetDlgItem(host->dialog, IDC_FIND_CANCEL), running);
    EnableWindow(GetDlgItem(host->dialog, IDC_FIND_SEARCH), !running);
    if (running)
        StartViewTimer(host, kStepMs);
    else
        StopViewTimer(host);
}

// Ends the search; what was found stays.
void StopSearch(DialogHost *host, bool cancelled)
{
    FindState *state = HostState<FindState>(host);
    if (GetFocus() == GetDlgItem(host->dialog, IDC_FIND_CANCEL)) // about to be disabled
        SetFocus(GetDlgItem(host->dialog, IDC_FIND_TEXT));
    ShowRunning(host, false);
    if ((state->notes & SearchModulesTooWide) && !cancelled)
        AddReportRow(&state->report, ResText(IDS_FIND_NEED_X64), 0);
    if (cancelled)
        ShowStatus(host, IDS_FIND_CANCELLED, state->found, 0);
    else
        ShowStatus(host, IDS_FIND_DONE, state->found, static_cast<int>(state->processes.size()));
    FreeSearchText(&state->search);
    DropHandleSnapshot(&state->snapshot);
}

// The search text as typed, on the heap (any length); null when empty.
char *ReadSearchText(HWND dialog)
{
    HWND edit = GetDlgItem(dialog, IDC_FIND_TEXT);
    const int length = GetWindowTextLengthA(edit);
    if (length <= 0)
        return nullptr;
    char *text = static_cast<char *>(std::malloc(static_cast<size_t>(length) + 1));
    if (text && GetWindowTextA(edit, text, length + 1) <= 0) {
        std::free(text);
        text = nullptr;
    }
    return text;
}

// Every running process the process table knows, with the name its row shows (a process that
// started after the last refresh pass is searched next time).
void ListProcesses(FindState *state)
{
    size_t count = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        count += record->kind == KindProcess && !(record->flags & RecordEnded);
    std::vector<FoundProcess>(count).swap(state->processes);
    FoundProcess *process = state->processes.data();
    for (const ProcessRecord *record = g_recordHead; record && count; record = record->next) {
        if (record->kind != KindProcess || (record->flags & RecordEnded))
            continue;
        process->id = record->id;
        lstrcpynA(process->name, record->name, MAX_PATH);
        ++process;
        --count;
    }
}

void StartSearch(DialogHost *host)
{
    FindState *state = HostState<FindState>(host);
    char *text = ReadSearchText(host->dialog);
    const bool prepared = PrepareSearchText(text, &state->search);
    std::free(text);
    if (!prepared)
        return;
    ClearReportRows(&state->report);
    state->found = 0;
    state->notes = 0;
    state->next = 0;
    ListProcesses(state);
    state->haveSnapshot = IsNt && TakeHandleSnapshot(&state->snapshot);
    ShowStatus(host, IDS_FIND_PROGRESS, 0, static_cast<int>(state->processes.size()));
    ShowRunning(host, true);
}

// One timer step: processes in turn until the step's time is spent.
void SearchStep(DialogHost *host)
{
    FindState *state = HostState<FindState>(host);
    if (!state->running)
        return;
    const DWORD start = GetTickCount();
    while (state->next < state->processes.size() && GetTickCount() - start < kStepBudgetMs) {
        const FoundProcess &process = state->processes[state->next++];
        HitContext context = {state, &process};
        state->notes |= SearchProcess(state->haveSnapshot ? &state->snapshot : nullptr,
                                      process.id, state->search, AddHit, &context);
    }
    if (state->next >= state->processes.size()) {
        StopSearch(host, false);
        return;
    }
    ShowStatus(host, IDS_FIND_PROGRESS, static_cast<int>(state->next),
               static_cast<int>(state->processes.size()));
}

// Double click: the process's row in the main list, and the main window forward.
void ShowFoundProcess(DialogHost *host)
{
    ULONG_PTR id = 0;
    if (!SelectedReportValue(&HostState<FindState>(host)->report, &id) || id == 0)
        return;
    if (!SelectProcessById(static_cast<DWORD>(id))) {
        char number[16], text[512];
        std::snprintf(number, sizeof number, g_settings.hexProcessId ? "0x%lX" : "%lu",
                      static_cast<unsigned long>(id));
        std::snprintf(text, sizeof text, ResText(IDS_FIND_NO_ROW), number);
        MessageBoxA(host->dialog, text, ResText(IDS_APPTITLE), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (GetWindowLongA(g_mainWindow, GWL_STYLE) & WS_MINIMIZE)
        ShowWindow(g_mainWindow, SW_RESTORE);
    SetForegroundWindow(g_mainWindow);
}

// Beside the main window's right edge, level with its top; the host then fits it to the screen.
void PlaceBesideMainWindow(HWND dialog)
{
    RECT main;
    if (GetWindowRect(g_mainWindow, &main))
        SetWindowPos(dialog, nullptr, main.right, main.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitFindView(DialogHost *host)
{
    host->state = new FindState();
    PlaceBesideMainWindow(host->dialog);
    InitReportList(&HostState<FindState>(host)->report, host->list, &kFindColumns);
    SendDlgItemMessageA(host->dialog, IDC_FIND_TEXT, EM_LIMITTEXT, 0, 0);
    SetFocus(GetDlgItem(host->dialog, IDC_FIND_TEXT));
}

void SaveFindView(DialogHost *host)
{
    SaveReportList(&HostState<FindState>(host)->report, host->dialog);
}

bool FindNotify(DialogHost *host, const NMHDR *header)
{
    if (header->hwndFrom == host->list && header->code == NM_DBLCLK) {
        ShowFoundProcess(host);
        return true;
    }
    return ReportListNotify(&HostState<FindState>(host)->report, header);
}

bool FindMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND)
        return false;
    if (LOWORD(wParam) == IDC_FIND_SEARCH && !HostState<FindState>(host)->running) {
        StartSearch(host);
        return true;
    }
    if (LOWORD(wParam) == IDC_FIND_CANCEL && HostState<FindState>(host)->running) {
        StopSearch(host, true);
        return true;
    }
    return false;
}

// Escape stops a running search; with none running it closes the window.
bool FindCancel(DialogHost *host)
{
    if (!HostState<FindState>(host)->running)
        return false;
    StopSearch(host, true);
    return true;
}

void DestroyFindView(DialogHost *host)
{
    FindState *state = HostState<FindState>(host);
    if (state)
        FreeSearchText(&state->search);
    delete state;
    host->state = nullptr;
}

const DialogSpec kFindView = {
    .listId = IDC_FIND_LIST,
    .resizable = true,
    .init = InitFindView,
    .tick = SearchStep,
    .save = SaveFindView,
    .notify = FindNotify,
    .message = FindMessage,
    .cancel = FindCancel,
    .destroy = DestroyFindView,
};

} // namespace

LRESULT OnFindHandleCommand(HWND window, WPARAM, WORD, LPARAM)
{
    OpenModelessView(window, IDD_FINDHANDLE, &kFindView);
    return 0;
}
