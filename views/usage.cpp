#include "views/usage.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/save.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/address.h"
#include "views/memory.h"
#include "views/version.h"

namespace {

const int kUsageTabs[] = {
#ifdef _WIN64 // 16-digit base addresses
    100, 172, 217, 250,
#else
    100, 140, 185, 218,
#endif
};

// Only the last of several quick selection changes filters the main list.
const UINT kSelectionDelayMs = 100;

// What MarkModuleUsers compares each reported module with.
struct FilterContext {
    ProcessRecord *record;
    const char *path;
    ULONG_PTR base;
};

// Records whose modules can be walked. A 16-bit task on NT carries a thread identifier, which
// names no process to walk.
bool HasModules(const ProcessRecord *record)
{
    return !(record->flags & RecordNoDetails) && record->kind != KindTask16;
}

// Marks the record when it loads the chosen module. The path is compared regardless of case, as
// the tally tells modules apart, so every process counted on the chosen line stays in the list.
void MarkModuleUsers(void *user, HWND, const char *, ULONG_PTR base, SIZE_T, const char *path)
{
    FilterContext *context = static_cast<FilterContext *>(user);
    if (base == context->base && path && lstrcmpiA(path, context->path) == 0)
        context->record->flags |= RecordExcluded;
}

void FillModuleUsage(HWND list)
{
    ModuleTally tally = {};
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (HasModules(record))
            FillModuleList(nullptr, record->id, CountModule, &tally);

    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const ModuleTallyEntry *entry = tally.head; entry; entry = entry->next) {
        char line[3 * MAX_PATH];
        std::snprintf(line, sizeof line, "%s\t" ADDRESS_FORMAT "\t" SIZE_FORMAT "\t%lu\t%s",
                      entry->name ? entry->name : "", entry->base, entry->size,
                      static_cast<unsigned long>(entry->count), entry->path ? entry->path : "");
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    FreeModuleTally(&tally);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// First fill and F5: the main list shows every process again, then the tally is taken over it.
void FillUsageView(DialogHost *host)
{
    SetMainListRedraw(false);
    RefreshMain();
    FillModuleUsage(host->list);
    SetMainListRedraw(true);
}

// Keeps only the rows of processes that load the module (path, base).
void KeepModuleUsers(const char *path, ULONG_PTR base)
{
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        record->flags &= ~RecordExcluded;
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        if (!HasModules(record))
            continue;
        FilterContext context = {record, path, base};
        FillModuleList(nullptr, record->id, MarkModuleUsers, &context);
    }
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        record->flags ^= RecordExcluded; // now set on the processes without the module
    ShowMainRows();
}

// The selection timer's tick, once: filters the main list by the selected module. Every pass
// starts from a fresh refresh, which brings back the processes an earlier filter removed.
void FilterBySelection(DialogHost *host)
{
    StopViewTimer(host);
    HWND list = host->list;
    SetMainListRedraw(false);
    SetStatusRedraw(false);
    RefreshMainKeepingFilter();

    char *line = nullptr;
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index != LB_ERR)
        line = ReadListBoxLine(list, static_cast<int>(index));
    char *nameEnd = line ? const_cast<char *>(FindChar(line, '\t')) : nullptr;
    const char *lastTab = line ? FindLastChar(line, '\t') : nullptr;
    const ULONG_PTR base =
        nameEnd ? static_cast<ULONG_PTR>(std::strtoull(nameEnd + 1, nullptr, 16)) : 0;
    if (lastTab && base)
        KeepModuleUsers(lastTab + 1, base);

    SetMainListRedraw(true);
    SetStatusRedraw(true);
    UpdateStatusText(nullptr);
    if (nameEnd)
        *nameEnd = '\0';
    ShowModuleFilter(nameEnd ? line : nullptr);
    std::free(line);
}

// A new selection filters the main list once it has stayed for a moment.
bool UsageViewMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_USAGE_LIST ||
        HIWORD(wParam) != LBN_SELCHANGE)
        return false;
    StartViewTimer(host, kSelectionDelayMs);
    return true;
}

void InitUsageView(DialogHost *host)
{
    SendMessageA(host->dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_usageIcon));
}

// No automatic refresh: its timer serves the selection.
const DialogSpec kUsageView = {
    .listId = IDC_USAGE_LIST,
    .headerId = IDC_USAGE_HEADER,
    .headerString = IDS_HDR_MODULEUSAGE,
    .tabCount = static_cast<int>(sizeof kUsageTabs / sizeof kUsageTabs[0]),
    .tabs = kUsageTabs,
    .resizable = true,
    .besideNameColumn = true,
    .setTitle = true,
    .init = InitUsageView,
    .fill = FillUsageView,
    .tick = FilterBySelection,
    .open = ShowVersionOfSelectedLine,
    .message = UsageViewMessage,
};

} // namespace

LRESULT OnModuleUsageCommand(HWND, WPARAM, WORD, LPARAM)
{
    if (MainListHeld()) {
        RefreshMain();
        return 0;
    }
    CurrentProcessId = GetSelectedProcess(g_processList, nullptr, 0);
    lstrcpynA(ViewTitle, ResText(IDS_TITLE_MODULEUSAGE), MAX_PATH);
    OpenView(g_mainWindow, IDD_MODULEUSAGE, &kUsageView);
    return 0;
}
