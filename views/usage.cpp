#include "views/usage.h"

#include <commctrl.h>

#include <cstdio>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
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

// The view's state: the tally of its last fill. Each line keeps its tally entry.
struct UsageView {
    ModuleTally tally;
};

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
void MarkModuleUsers(void *user, const char *, ULONG_PTR base, SIZE_T, const char *path)
{
    FilterContext *context = static_cast<FilterContext *>(user);
    if (base == context->base && path && lstrcmpiA(path, context->path) == 0)
        context->record->flags |= RecordExcluded;
}

void FillModuleUsage(DialogHost *host)
{
    ModuleTally tally = {};
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (HasModules(record))
            FillModuleList(record->id, CountModule, &tally);

    ListLines lines;
    for (const ModuleTallyEntry *entry = tally.head; entry; entry = entry->next) {
        char line[3 * MAX_PATH];
        std::snprintf(line, sizeof line, "%s\t" ADDRESS_FORMAT "\t" SIZE_FORMAT "\t%lu\t%s",
                      entry->name ? entry->name : "", entry->base, entry->size,
                      static_cast<unsigned long>(entry->count), entry->path ? entry->path : "");
        lines.Add(line, reinterpret_cast<ULONG_PTR>(entry));
    }
    ShowListLines(host->list, lines, false);
    UsageView *view = HostState<UsageView>(host);
    FreeModuleTally(&view->tally);
    view->tally = tally;
}

// The tally entry the selected line keeps; null when no line is selected.
const ModuleTallyEntry *SelectedModule(const DialogHost *host)
{
    ULONG_PTR kept = 0;
    return SelectedLineValue(host->list, &kept) ? reinterpret_cast<const ModuleTallyEntry *>(kept)
                                                : nullptr;
}

// First fill and F5: the main list shows every process again, then the tally is taken over it.
void FillUsageView(DialogHost *host)
{
    SetMainListRedraw(false);
    RefreshMain();
    FillModuleUsage(host);
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
        FillModuleList(record->id, MarkModuleUsers, &context);
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
    SetMainListRedraw(false);
    SetStatusRedraw(false);
    RefreshMainKeepingFilter();

    const ModuleTallyEntry *module = SelectedModule(host);
    if (module)
        KeepModuleUsers(module->path, module->base);

    SetMainListRedraw(true);
    SetStatusRedraw(true);
    UpdateStatusText(nullptr);
    ShowModuleFilter(module ? module->name : nullptr);
}

// Double click: the Version view of the line's module.
void ShowVersionOfSelectedModule(DialogHost *host)
{
    const ModuleTallyEntry *module = SelectedModule(host);
    if (module)
        OpenVersionView(host->dialog, module->path);
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
    .open = ShowVersionOfSelectedModule,
    .message = UsageViewMessage,
};

} // namespace

LRESULT OnModuleUsageCommand(HWND, WPARAM, WORD, LPARAM)
{
    if (MainListHeld()) {
        RefreshMain();
        return 0;
    }
    ViewSubject subject;
    PrepareProcessView(ResText(IDS_TITLE_MODULEUSAGE), false, &subject);
    UsageView view = {};
    OpenView(g_mainWindow, IDD_MODULEUSAGE, &kUsageView, &view, &subject);
    FreeModuleTally(&view.tally);
    return 0;
}
