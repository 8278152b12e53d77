#include "views/modules.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/save.h"
#include "core/settings.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/address.h"
#include "views/filetime.h"
#include "views/version.h"

namespace {

const int kModuleTabs[] = {
#ifdef _WIN64 // 16-digit base addresses
    100, 172, 212, 292,
#else
    100, 140, 180, 260,
#endif
};

const int kCreatedLimit = 100;

// Version values the save adds to each line, one column each (empty when the module's file has
// none), so that a missing value never shifts the next one into its column.
const char *const kSavedVersionKeys[] = {"FileVersion", "FileDescription"};

// The view's state is the table of the modules of its last fill: each module's path, with its
// base kept beside it. Each line of the list keeps its module's index in that table.
typedef ListLines ModuleTable;
const ULONG_PTR kNoModule = ~ULONG_PTR(0); // a line that names no module

// One fill: the lines, and the table they index.
struct ModuleFill {
    ListLines lines;
    ModuleTable modules;
};

// Module callback: "name, base, size, created, path".
void AddModuleLine(void *user, const char *name, ULONG_PTR base, SIZE_T size, const char *path)
{
    ModuleFill *fill = static_cast<ModuleFill *>(user);
    char created[kCreatedLimit];
    FormatFileTime(path, created, sizeof created, "  ", FileTimeCreated);
    char line[3 * MAX_PATH];
    std::snprintf(line, sizeof line, "%s\t" ADDRESS_FORMAT "\t" SIZE_FORMAT "\t%s\t%s",
                  name ? name : "", base, size, created, path ? path : "");
    fill->lines.Add(line, fill->modules.Count());
    fill->modules.Add(path, base);
}

// The path of the module whose index a line keeps; null for a line that names none.
const char *KeptPath(const DialogHost *host, ULONG_PTR kept)
{
    const ModuleTable &modules = *HostState<ModuleTable>(host);
    return kept < modules.Count() ? modules.Text(kept) : nullptr;
}

// Refills the list; the selected line stays selected when the module is still loaded.
void FillModulesView(DialogHost *host)
{
    HWND list = host->list;
    char *selected = nullptr;
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index != LB_ERR)
        selected = ReadListBoxLine(list, static_cast<int>(index));
    ModuleFill fill;
    FillModuleList(CurrentProcessId(host), AddModuleLine, &fill);
    // Every process has at least its executable: an empty list means the modules could not be
    // read, which the view says rather than look like a process without modules.
    if (fill.lines.Count() == 0) {
        const UINT why = ProcessWiderThanProgram(CurrentProcessId(host)) ? IDS_MODULES_NEED_X64
                                                                      : IDS_MODULES_UNREADABLE;
        char *text = LoadResString(why);
        if (text)
            fill.lines.Add(text, kNoModule);
        FreeResString(text);
    }
    ShowListLines(list, fill.lines, true);
    *HostState<ModuleTable>(host) = std::move(fill.modules);
    if (selected) {
        const LRESULT found =
            SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(selected));
        if (found != LB_ERR)
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
        std::free(selected);
    }
}

// Each line as shown, followed by the module's version values.
void SaveModulesView(DialogHost *host)
{
    HWND dialog = host->dialog, list = host->list;
    if (!OpenSaveFile(dialog))
        return;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char *line = ReadListBoxLine(list, i);
        if (!line)
            continue;
        std::fputs(line, g_saveFile);
        const char *path = KeptPath(
            host, static_cast<ULONG_PTR>(SendMessageA(list, LB_GETITEMDATA, i, 0)));
        VersionRecord record;
        const bool hasRecord = path && OpenVersionRecord(path, &record);
        for (const char *key : kSavedVersionKeys) {
            char value[MAX_PATH] = "";
            if (hasRecord)
                ReadVersionValue(&record, key, value, sizeof value);
            std::fprintf(g_saveFile, "\t%s", value);
        }
        std::fputc('\n', g_saveFile);
        if (hasRecord)
            CloseVersionRecord(&record);
        std::free(line);
    }
    CloseSaveFile(dialog);
}

// Double click: the Version view of the line's module.
void ShowVersionOfSelectedModule(DialogHost *host)
{
    ULONG_PTR kept = kNoModule;
    const char *path = SelectedLineValue(host->list, &kept) ? KeptPath(host, kept) : nullptr;
    if (path)
        OpenVersionView(host->dialog, path);
}

const DialogSpec kModulesView = {
    .listId = IDC_MODULE_LIST,
    .headerId = IDC_MODULE_HEADER,
    .headerString = IDS_HDR_MODULES,
    .tabCount = static_cast<int>(sizeof kModuleTabs / sizeof kModuleTabs[0]),
    .tabs = kModuleTabs,
    .refreshSeconds = &g_settings.moduleRefresh,
    .resizable = true,
    .setTitle = true,
    .fill = FillModulesView,
    .save = SaveModulesView,
    .open = ShowVersionOfSelectedModule,
};

} // namespace

LRESULT OnModulesCommand(HWND, WPARAM, WORD, LPARAM)
{
    ModuleTable modules;
    OpenProcessView(IDD_MODULES, ResText(IDS_TITLE_MODULES), &kModulesView, &modules);
    return 0;
}
