#include "settings/options.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/processlisttree.h"
#include "core/settings.h"
#include "resource.h"

namespace {

// Every cell is asked for again, so the identifiers show in the base now chosen and the rows in
// the colours now chosen.
void RedrawList(bool)
{
    RepaintMainList();
}

void ShowTrayIcon(bool on)
{
    SetTrayIcon(on);
}

struct BooleanOption {
    int command;
    bool Settings::*setting;
    void (*apply)(bool on); // what changes at once besides the setting; may be null
};

const BooleanOption kBooleanOptions[] = {
    {IDM_STARTMINIMIZED, &Settings::startMinimized, nullptr},
    {IDM_USESYSTRAY, &Settings::useSysTray, ShowTrayIcon},
    {IDM_MULTIINSTANCES, &Settings::allowMultiplyInstances, nullptr},
    {IDM_HEXPID, &Settings::hexProcessId, RedrawList},
    {IDM_STATUSGRAPHS, &Settings::statusGraphs, ShowStatusGraphs},
    {IDM_HIGHLIGHTNEW, &Settings::highlightNew, RedrawList},
    {IDM_HIGHLIGHTENDED, &Settings::highlightEnded, RedrawList},
    {IDM_TREEVIEW, &Settings::treeView, ShowMainTree},
};

const char kShortcutName[] = "\\Kelvane.lnk";

// Full path of the shortcut in the current user's Startup folder; false when the folder is unknown
// or the path would not fit in MAX_PATH.
bool GetShortcutPath(char *path)
{
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_STARTUP, &items)) || !items)
        return false;
    char folder[MAX_PATH] = "";
    const bool found = SHGetPathFromIDListA(items, folder) != FALSE;
    IMalloc *allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
    }
    if (!found || !*folder || std::strlen(folder) + sizeof kShortcutName > MAX_PATH)
        return false;
    std::strcpy(path, folder);
    std::strcat(path, kShortcutName);
    return true;
}

bool IsFile(const char *path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A shell link at `path` that starts this executable in a normal window. Failures leave no file;
// nobody is told.
void CreateShortcut(const char *path)
{
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) // a cut path would name another file
        return;
    WCHAR widePath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH))
        return;
    char *description = LoadResString(IDS_SHORTCUT_DESC);

    const HRESULT initialized = CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&link)))) {
        IPersistFile *file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
            if (SUCCEEDED(link->SetPath(module)) &&
                SUCCEEDED(link->SetDescription(description ? description : "")) &&
                SUCCEEDED(link->SetShowCmd(SW_SHOWNORMAL)))
                file->Save(widePath, TRUE);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(initialized))
        CoUninitialize();
    FreeResString(description);
}

// The four intervals of the refresh-times dialog, in the order of its fields.
struct RefreshField {
    int control;
    int spin; // its up-down control
    int Settings::*setting;
};

const RefreshField kRefreshFields[] = {
    {IDC_REFRESH_MAIN, IDC_REFRESH_MAIN_SPIN, &Settings::mainRefresh},
    {IDC_REFRESH_THREAD, IDC_REFRESH_THREAD_SPIN, &Settings::threadRefresh},
    {IDC_REFRESH_MODULE, IDC_REFRESH_MODULE_SPIN, &Settings::moduleRefresh},
    {IDC_REFRESH_MEMORY, IDC_REFRESH_MEMORY_SPIN, &Settings::memoryRefresh},
};
const int kRefreshFieldCount = sizeof kRefreshFields / sizeof kRefreshFields[0];

// What OK read from the fields; the dialog's parameter.
struct RefreshTimes {
    int seconds[kRefreshFieldCount];
};

// A decimal number after optional white space and sign, up to the first other character; 0 when
// the text holds no number.
int ParseSeconds(const char *text)
{
    return static_cast<int>(std::strtol(text, nullptr, 10));
}

// The dialog's state is the RefreshTimes that OK fills.
void InitRefreshTimesDialog(DialogHost *host)
{
    for (int i = 0; i < kRefreshFieldCount; ++i) {
        // Up means longer: the control's own default range runs from 100 down to 0.
        SendDlgItemMessageA(host->dialog, kRefreshFields[i].spin, UDM_SETRANGE, 0,
                            MAKELPARAM(UD_MAXVAL, 0));
        char text[16];
        std::snprintf(text, sizeof text, "%d", g_settings.*kRefreshFields[i].setting);
        SetDlgItemTextA(host->dialog, kRefreshFields[i].control, text);
    }
}

bool RefreshTimesMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDOK)
        return false;
    RefreshTimes *times = HostState<RefreshTimes>(host);
    for (int i = 0; i < kRefreshFieldCount; ++i) {
        char text[MAX_PATH] = "";
        GetDlgItemTextA(host->dialog, kRefreshFields[i].control, text, sizeof text);
        times->seconds[i] = ParseSeconds(text);
    }
    EndHostedDialog(host, IDOK);
    return true;
}

const DialogSpec kRefreshTimesDialog = {.init = InitRefreshTimesDialog,
                                        .message = RefreshTimesMessage};

} // namespace

bool OptionChecked(int command)
{
    if (command == IDM_LOADATSTARTUP)
        return StartupShortcutExists(); // the file is the only record of it
    for (const BooleanOption &option : kBooleanOptions)
        if (option.command == command)
            return g_settings.*option.setting;
    return false;
}

bool StartupShortcutExists()
{
    char path[MAX_PATH];
    return GetShortcutPath(path) && IsFile(path);
}

bool SetStartupShortcut(bool on)
{
    char path[MAX_PATH];
    if (!GetShortcutPath(path))
        return true; // without a Startup folder there is no shortcut, and none is made
    const bool existed = IsFile(path);
    if (on && !existed)
        CreateShortcut(path);
    else if (!on && existed)
        DeleteFileA(path);
    return !existed;
}

void ShowStartupShortcutState(HMENU menu)
{
    CheckMenuItem(menu, IDM_LOADATSTARTUP,
                  MF_BYCOMMAND | (StartupShortcutExists() ? MF_CHECKED : MF_UNCHECKED));
}

LRESULT OnBooleanOption(HWND, WPARAM wParam, WORD, LPARAM)
{
    for (const BooleanOption &option : kBooleanOptions) {
        if (option.command != LOWORD(wParam))
            continue;
        const bool on = !(g_settings.*option.setting);
        g_settings.*option.setting = on;
        if (option.apply)
            option.apply(on);
    }
    ShowCommandChecks();
    return 0;
}

LRESULT OnLoadAtStartup(HWND, WPARAM, WORD, LPARAM)
{
    SetStartupShortcut(!StartupShortcutExists());
    // The mark follows the file, so a shortcut that could not be written does not show as made.
    ShowCommandChecks();
    return 0;
}

LRESULT OnRefreshTimes(HWND window, WPARAM, WORD, LPARAM)
{
    RefreshTimes times = {};
    if (OpenView(window, IDD_REFRESHTIMES, &kRefreshTimesDialog, &times) != IDOK)
        return 0;
    for (int i = 0; i < kRefreshFieldCount; ++i)
        g_settings.*kRefreshFields[i].setting = times.seconds[i];
    SetMainTimer(TRUE);
    return 0;
}
