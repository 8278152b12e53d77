#include "views/startupinfo.h"

#include <cstdio>
#include <cstdlib>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "providers/procinfo.h"
#include "resource.h"

namespace {

const int kStartupTabs[] = {80};

// Labels of the record's texts, in the order of ParamText.
const UINT kTextLabels[ParamTextCount] = {IDS_STARTUP_COMMANDLINE, IDS_STARTUP_DIRECTORY,
                                          IDS_STARTUP_IMAGE, IDS_STARTUP_TITLE,
                                          IDS_STARTUP_DESKTOP};

// The names of the show commands a process is started with, by value.
const char *const kShowCommands[] = {
    "SW_HIDE",        "SW_SHOWNORMAL",   "SW_SHOWMINIMIZED", "SW_SHOWMAXIMIZED",
    "SW_SHOWNOACTIVATE", "SW_SHOW",      "SW_MINIMIZE",      "SW_SHOWMINNOACTIVE",
    "SW_SHOWNA",      "SW_RESTORE",      "SW_SHOWDEFAULT",   "SW_FORCEMINIMIZE",
};
const unsigned long kShowDefault = 10;

// A label, a tab and the longest text a record holds.
const size_t kParamLineLimit = 64 + kMaxParamBytes / 2 + 1;

void AddLine(HWND list, const char *line)
{
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

// "Label<tab>value"; a value too long for a line of the view is cut.
void AddLabelled(HWND list, UINT label, const char *value)
{
    char *line = static_cast<char *>(std::malloc(kParamLineLimit));
    if (!line)
        return;
    std::snprintf(line, kParamLineLimit, "%s\t%s", ResText(label), value ? value : "");
    AddLine(list, line);
    std::free(line);
}

// Without STARTF_USESHOWWINDOW the process shows its first window as SW_SHOWDEFAULT says.
void AddShowCommand(HWND list, const StartupRecord &record)
{
    const unsigned long command = record.showWindowGiven ? record.showWindow : kShowDefault;
    char number[16];
    std::snprintf(number, sizeof number, "%lu", command);
    AddLabelled(list, IDS_STARTUP_SHOW,
                command < sizeof kShowCommands / sizeof kShowCommands[0] ? kShowCommands[command]
                                                                          : number);
}

// Why the record could not be read, by StartupStatus.
const UINT kWhyUnread[] = {0, IDS_STARTUP_NEED_X64, IDS_STARTUP_DENIED, IDS_STARTUP_UNREADABLE};

void FillStartupView(DialogHost *host)
{
    HWND list = host->list;
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    StartupRecord record = {};
    const StartupStatus status =
        ReadStartupRecord(HostState<const HeldProcess>(host)->Ref().id, &record);
    if (status == StartupRead) {
        for (int i = 0; i < ParamTextCount; ++i)
            AddLabelled(list, kTextLabels[i], record.texts[i]);
        AddShowCommand(list, record);
        for (const char *entry = record.environment; entry && *entry; entry += lstrlenA(entry) + 1)
            AddLine(list, entry);
        if (record.environmentCut)
            AddLine(list, ResText(IDS_STARTUP_ENV_CUT));
    } else {
        AddLine(list, ResText(kWhyUnread[status]));
    }
    FreeStartupRecord(&record);
}

const DialogSpec kStartupView = {
    .listId = IDC_STARTUP_LIST,
    .headerId = IDC_STARTUP_HEADER,
    .headerString = IDS_HDR_STARTUP,
    .tabCount = 1,
    .tabs = kStartupTabs,
    .resizable = true,
    .setTitle = true,
    .fill = FillStartupView,
};

} // namespace

LRESULT OnStartupInfoCommand(HWND, WPARAM, WORD, LPARAM)
{
    // Held while the view is open, so that F5 reads the same process again.
    HeldProcess held(SelectedRecord());
    if (held.Held())
        OpenProcessView(IDD_STARTUPINFO, ResText(IDS_TITLE_STARTUPINFO), &kStartupView, &held);
    return 0;
}
