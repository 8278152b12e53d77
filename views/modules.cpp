#include "views/modules.h"

#include <cstdio>
#include <cstdlib>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/localtime.h"
#include "core/save.h"
#include "core/settings.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/address.h"
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

// Refills the list; the selected line stays selected when the module is still loaded.
void FillModulesView(DialogHost *host)
{
    HWND list = host->list;
    char *selected = nullptr;
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index != LB_ERR)
        selected = ReadListBoxLine(list, static_cast<int>(index));
    FillModuleList(list, CurrentProcessId, AddModuleLine, nullptr);
    // Every process has at least its executable: an empty list means the modules could not be
    // read, which the view says rather than look like a process without modules.
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) == 0) {
        const UINT why = ProcessWiderThanProgram(CurrentProcessId) ? IDS_MODULES_NEED_X64
                                                                   : IDS_MODULES_UNREADABLE;
        char *text = LoadResString(why);
        if (text)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        FreeResString(text);
    }
    if (selected) {
        const LRESULT found =
            SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(selected));
        if (found != LB_ERR)
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
        std::free(selected);
    }
}

// The list line's last column is the module's full path.
const char *PathOfLine(const char *line)
{
    const char *tab = FindLastChar(line, '\t');
    return tab ? tab + 1 : nullptr;
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
        const char *path = PathOfLine(line);
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
    .open = ShowVersionOfSelectedLine,
};

} // namespace

bool FormatFileTime(const char *path, char *output, int limit, const char *separator,
                    FileTimeKind which)
{
    if (!output || limit <= 0)
        return false;
    bool written = false;
    HANDLE file = CreateFileA(path ? path : "", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        FILETIME time = {};
        SYSTEMTIME fields;
        const BOOL read = which == FileTimeCreated ? GetFileTime(file, &time, nullptr, nullptr)
                                                   : GetFileTime(file, nullptr, nullptr, &time);
        if (read && (time.dwLowDateTime || time.dwHighDateTime) &&
            UtcToLocalFields(time, nullptr, &fields) &&
            GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, output, limit) > 0) {
            // The time goes after the separator only while at least its terminator still fits.
            const int used = lstrlenA(output) + lstrlenA(separator);
            if (used < limit) {
                lstrcatA(output, separator);
                written = GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &fields, nullptr,
                                         output + used, limit - used) > 0;
            }
        }
        CloseHandle(file);
    }
    if (!written)
        lstrcpynA(output, "---", limit);
    return written;
}

void AddModuleLine(void *, HWND listBox, const char *name, ULONG_PTR base, SIZE_T size,
                   const char *path)
{
    if (!listBox)
        return;
    char created[kCreatedLimit];
    FormatFileTime(path, created, sizeof created, "  ", FileTimeCreated);
    char line[3 * MAX_PATH];
    std::snprintf(line, sizeof line, "%s\t" ADDRESS_FORMAT "\t" SIZE_FORMAT "\t%s\t%s",
                  name ? name : "", base, size, created, path ? path : "");
    SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

LRESULT OnModulesCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenProcessView(IDD_MODULES, ResText(IDS_TITLE_MODULES), &kModulesView);
    return 0;
}
