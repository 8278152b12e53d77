#include "views/handles.h"

#include <commctrl.h>

#include <cstdio>
#include <utility>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/reportlist.h"
#include "core/settings.h"
#include "providers/handles.h"
#include "resource.h"

namespace {

const int kHandleWidths[] = {56, 180, 36, 48};
const ReportColumns kHandleColumns = {IDS_HDR_HANDLES, kHandleWidths, 4, 1u << 2 | 1u << 3};

struct HandlesState {
    ReportList report;
    bool showUnnamed;
};

struct HandleRows {
    ListLines lines;
    bool showUnnamed;
};

void AddHandleRow(void *user, const HandleInfo &info)
{
    HandleRows &rows = *static_cast<HandleRows *>(user);
    if (!info.name[0] && !rows.showUnnamed)
        return;
    char line[3 * MAX_PATH];
    std::snprintf(line, sizeof line, "%s\t%s\t0x%llX\t0x%08lX", info.type, info.name,
                  static_cast<unsigned long long>(info.handle),
                  static_cast<unsigned long>(info.access));
    rows.lines.Add(line);
}

void InitHandlesView(DialogHost *host)
{
    HandlesState *state = HostState<HandlesState>(host);
    InitReportList(&state->report, host->list, &kHandleColumns);
}

void FillHandlesView(DialogHost *host)
{
    HandlesState *state = HostState<HandlesState>(host);
    HandleRows rows = {ListLines(), state->showUnnamed};
    HandleSnapshot snapshot;
    const HandleReadResult result =
        TakeHandleSnapshot(&snapshot)
            ? ReadProcessHandles(snapshot, CurrentProcessId(host), AddHandleRow, &rows)
            : HandlesUnavailable;
    const UINT note = result == HandlesDenied        ? IDS_HANDLES_DENIED
                      : result == HandlesUnavailable ? IDS_HANDLES_UNAVAILABLE
                                                     : 0;
    SetDlgItemTextA(host->dialog, IDC_HANDLES_NOTE, note ? ResText(note) : "");
    ShowReportRows(&state->report, std::move(rows.lines));
}

void SaveHandlesView(DialogHost *host)
{
    SaveReportList(&HostState<HandlesState>(host)->report, host->dialog);
}

bool HandlesNotify(DialogHost *host, const NMHDR *header)
{
    if (header->code == LVN_KEYDOWN)
        return HandleViewKey(host, reinterpret_cast<const NMLVKEYDOWN *>(header)->wVKey);
    return ReportListNotify(&HostState<HandlesState>(host)->report, header);
}

bool HandlesMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_HANDLES_UNNAMED)
        return false;
    HostState<HandlesState>(host)->showUnnamed =
        IsDlgButtonChecked(host->dialog, IDC_HANDLES_UNNAMED) == BST_CHECKED;
    FillHandlesView(host);
    SetFocus(host->list); // where the view's keys work
    return true;
}

const DialogSpec kHandlesView = {
    .listId = IDC_HANDLES_LIST,
    .refreshSeconds = &g_settings.moduleRefresh,
    .resizable = true,
    .setTitle = true,
    .init = InitHandlesView,
    .fill = FillHandlesView,
    .save = SaveHandlesView,
    .notify = HandlesNotify,
    .message = HandlesMessage,
};

} // namespace

LRESULT OnHandlesCommand(HWND, WPARAM, WORD, LPARAM)
{
    HandlesState state = {};
    OpenProcessView(IDD_HANDLES, ResText(IDS_TITLE_HANDLES), &kHandlesView, &state);
    return 0;
}
