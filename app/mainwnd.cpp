#include "app/mainwnd.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "actions/about.h"
#include "actions/finder.h"
#include "actions/kill.h"
#include "actions/priority.h"
#include "actions/switchto.h"
#include "app/statusgraphs.h"
#include "app/tray.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "core/save.h"
#include "core/settings.h"
#include "providers/fill.h"
#include "providers/systemsample.h"
#include "resource.h"
#include "settings/columnsdlg.h"
#include "settings/options.h"
#include "views/apps.h"
#include "views/heap.h"
#include "views/memory.h"
#include "views/modules.h"
#include "views/systeminfo.h"
#include "views/threads.h"
#include "views/tree.h"
#include "views/usage.h"
#include "views/version.h"

HWND g_toolbar = nullptr;
HWND g_statusBar = nullptr;
bool g_listFrozen = false;

namespace {

int g_toolbarHeight;
int g_statusHeight;
bool g_hasSelection;
bool g_selectionIsProcess;
long long g_statusKey = -1;
int g_statusCount = -1;

// Toolbar buttons in order: command (0 for a separator), image, initially enabled, tooltip string.
struct ToolbarButton {
    int command;
    int image;
    bool enabled;
    UINT tooltip;
};
const ToolbarButton kToolbarButtons[] = {
    {0, 0, false, 0},
    {IDM_REFRESH, TBIMG_REFRESH, true, IDS_TIP_REFRESH},
    {IDM_SAVEAS, TBIMG_SAVE, true, IDS_TIP_SAVE},
    {0, 0, false, 0},
    {IDM_THREADS, TBIMG_THREADS, false, IDS_TIP_THREADS},
    {IDM_MODULES, TBIMG_MODULES, false, IDS_TIP_MODULES},
    {IDM_MEMORY, TBIMG_MEMORY, false, IDS_TIP_MEMORY},
    {0, 0, false, 0},
    {IDM_KILL, TBIMG_KILL, false, IDS_TIP_KILL},
    {IDM_PRIORITY, TBIMG_PRIORITY, false, IDS_TIP_PRIORITY},
    {0, 0, false, 0},
    {IDM_PROCESSTREE, TBIMG_PROCESSTREE, true, IDS_TIP_PROCESSTREE},
    {IDM_MODULEUSAGE, TBIMG_MODULEUSAGE, true, IDS_TIP_MODULEUSAGE},
    {IDM_APPLICATIONS, TBIMG_APPLICATIONS, true, IDS_TIP_APPLICATIONS},
    {0, 0, false, 0},
    {IDM_FINDER, TBIMG_FINDER, true, IDS_TIP_FINDER},
};
const int kToolbarButtonCount = sizeof kToolbarButtons / sizeof kToolbarButtons[0];
const int kToolbarImageCount = 11;

// Which selection each process command needs.
enum CommandNeed { NeedSelection, NeedProcess, NeedSelection9x };
struct CommandState {
    int command;
    CommandNeed need;
};
const CommandState kCommandStates[] = {
    {IDM_SWITCHTO, NeedSelection}, {IDM_BRINGTOFRONT, NeedSelection}, {IDM_KILL, NeedSelection},
    {IDM_MODULES, NeedProcess},    {IDM_THREADS, NeedProcess},        {IDM_MEMORY, NeedProcess},
    {IDM_PRIORITY, NeedProcess},   {IDM_HEAP, NeedSelection9x},       {IDM_INFO, NeedSelection},
};

// Menu items the resource carries but the program never offers.
const int kRemovedMenuItems[] = {IDM_STARTUPINFO, IDM_COPYPATH, IDM_DEBUG};

HWND CreateToolbar(HWND window)
{
    TBBUTTON buttons[kToolbarButtonCount] = {};
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        const ToolbarButton &button = kToolbarButtons[i];
        buttons[i].iBitmap = button.image;
        buttons[i].idCommand = button.command;
        buttons[i].fsState = button.enabled ? TBSTATE_ENABLED : 0;
        buttons[i].fsStyle = button.command ? TBSTYLE_BUTTON : TBSTYLE_SEP;
    }
    return CreateToolbarEx(window, WS_CHILD | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, kToolbarId,
                           kToolbarImageCount, g_instance, IDB_TOOLBAR, buttons,
                           kToolbarButtonCount, 0, 16, 16, 15, sizeof(TBBUTTON));
}

int WindowHeight(HWND window)
{
    RECT rect;
    if (!window || !GetWindowRect(window, &rect))
        return 0;
    return rect.bottom - rect.top;
}

// The status bar's parts: the text, then the two graphs at the right end while they are shown.
void SetStatusParts()
{
    RECT client;
    if (!g_statusBar || !GetClientRect(g_statusBar, &client))
        return;
    const int graph = StatusGraphWidth(g_statusBar);
    const int grip = GetSystemMetrics(SM_CXVSCROLL);
    int edges[1 + kStatusGraphParts] = {-1};
    int parts = 1;
    if (graph) {
        for (int i = 0; i < kStatusGraphParts; ++i)
            edges[i] = client.right - grip - (kStatusGraphParts - i) * graph;
        edges[kStatusGraphParts] = -1;
        parts += kStatusGraphParts;
    }
    SendMessageA(g_statusBar, SB_SETPARTS, parts, reinterpret_cast<LPARAM>(edges));
    AttachStatusGraphs(g_statusBar, 1, graph != 0);
}

LRESULT OnCreate(HWND window, UINT, WPARAM, LPARAM)
{
    g_mainWindow = window;
    g_hasSelection = g_selectionIsProcess = false;
    g_statusKey = -1;
    g_statusCount = -1;
    g_toolbar = CreateToolbar(window);
    if (!g_toolbar)
        return -1;
    g_statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_BORDER, "", window, kStatusBarId);
    ShowWindow(g_toolbar, SW_SHOW);
    if (g_statusBar)
        ShowWindow(g_statusBar, SW_SHOW);
    g_toolbarHeight = WindowHeight(g_toolbar);
    g_statusHeight = WindowHeight(g_statusBar);

    g_processList = CreateProcessList(
        window, WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
        WS_EX_CLIENTEDGE, g_columns, g_columnCount, kProcessListId);
    if (!g_processList)
        return -1;
    ShowWindow(g_processList, SW_SHOW);
    SendMessageA(window, WM_COMMAND, IDM_RELOAD, 0);

    HMENU menu = GetMenu(window);
    for (int command : kRemovedMenuItems)
        DeleteMenu(menu, command, MF_BYCOMMAND);
    // Heaps can be walked on Windows 9x only, live figures read on NT only.
    DeleteMenu(menu, IsNt ? IDM_HEAP : IDM_SELECTCOLUMNS, MF_BYCOMMAND);
    CheckMenuItem(menu, IDM_STARTMINIMIZED, g_settings.startMinimized ? MF_CHECKED : MF_UNCHECKED);
    CheckMenuItem(menu, IDM_HEXPID, g_settings.hexProcessId ? MF_CHECKED : MF_UNCHECKED);
    ShowStartupShortcutState(menu);
    CheckMenuItem(menu, IDM_USESYSTRAY, g_settings.useSysTray ? MF_CHECKED : MF_UNCHECKED);
    if (g_settings.useSysTray)
        SetTrayIcon(TRUE);
    CheckMenuItem(menu, IDM_MULTIINSTANCES,
                  g_settings.allowMultiplyInstances ? MF_CHECKED : MF_UNCHECKED);
    CheckMenuItem(menu, IDM_STATUSGRAPHS, g_settings.statusGraphs ? MF_CHECKED : MF_UNCHECKED);
    return 0;
}

LRESULT OnSize(HWND window, UINT, WPARAM wParam, LPARAM)
{
    // Whenever the window is shown and not minimised its list refreshes, also when it comes back
    // from a minimised start without the tray, which started no timer.
    if (wParam != SIZE_MINIMIZED && IsWindowVisible(window) && !MainTimerRunning())
        SetMainTimer(TRUE);
    if (LOWORD(wParam) == SIZE_RESTORED) {
        RECT rect;
        GetWindowRect(window, &rect);
        g_settings.windowWidth = rect.right - rect.left;
        g_settings.windowHeight = rect.bottom - rect.top;
    }
    RECT client;
    GetClientRect(window, &client);
    if (g_toolbar)
        MoveWindow(g_toolbar, client.left, client.top, client.right, g_toolbarHeight, TRUE);
    const int listTop = client.top + g_toolbarHeight - 1;
    if (g_processList)
        MoveWindow(g_processList, client.left, listTop, client.right,
                   client.bottom - g_statusHeight - listTop, TRUE);
    if (g_statusBar)
        MoveWindow(g_statusBar, client.left, client.bottom - g_statusHeight, client.right,
                   g_statusHeight, TRUE);
    SetStatusParts();
    return 0;
}

void SetTooltipText(NMHDR *header)
{
    NMTTDISPINFOA *info = reinterpret_cast<NMTTDISPINFOA *>(header);
    for (const ToolbarButton &button : kToolbarButtons) {
        if (button.command && static_cast<UINT_PTR>(button.command) == header->idFrom) {
            info->hinst = g_instance;
            info->lpszText = MAKEINTRESOURCEA(button.tooltip);
            return;
        }
    }
}

LRESULT OnNotify(HWND window, UINT, WPARAM, LPARAM lParam)
{
    NMHDR *header = reinterpret_cast<NMHDR *>(lParam);
    LRESULT result = 0;
    if (AnswerListNotify(header, &result))
        return result;
    switch (header->code) {
    case TTN_NEEDTEXTA:
        SetTooltipText(header);
        return 0;
    case TBN_BEGINDRAG:
        return OnFinderBeginDrag(window, header);
    case LVN_KEYDOWN:
    case NM_RCLICK:
    case NM_DBLCLK:
    case NM_CLICK:
        if (header->idFrom == static_cast<UINT_PTR>(kProcessListId))
            PostMessageA(window, WM_LISTEVENT, header->code, kProcessListId);
        return 0;
    default:
        return 0;
    }
}

LRESULT OnListEvent(HWND window, UINT, WPARAM wParam, LPARAM lParam)
{
    if (lParam != kProcessListId)
        return 0;
    const int index = static_cast<int>(
        SendMessageA(g_processList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    ShowSelection(RecordAt(index));
    const UINT code = static_cast<UINT>(wParam);
    if (code == static_cast<UINT>(NM_RCLICK))
        PopupSubmenu(GetMenu(window), ResText(IDS_MENU_PROCESS));
    else if (code == static_cast<UINT>(NM_DBLCLK))
        SendMessageA(window, WM_COMMAND, IDM_INFO, 0);
    return 0;
}

LRESULT OnTimer(HWND, UINT, WPARAM, LPARAM)
{
    if (!g_listFrozen)
        RefreshMain();
    SampleStatusGraphs(g_statusBar);
    return 0;
}

LRESULT OnDestroy(HWND, UINT, WPARAM, LPARAM)
{
    SetMainTimer(FALSE);
    SetTrayIcon(FALSE);
    StopSystemSampling();
    SaveSettings();
    PostQuitMessage(0);
    return 0;
}

LRESULT OnQueryEndSession(HWND, UINT, WPARAM, LPARAM)
{
    SaveSettings();
    return 1;
}

LRESULT OnSysColorChange(HWND, UINT, WPARAM, LPARAM)
{
    if (g_processList)
        UpdateSortArrow(g_processList, true);
    return 1;
}

LRESULT OnActivateApp(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT OnDrawItem(HWND, UINT, WPARAM, LPARAM lParam)
{
    return DrawStatusGraph(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
}

LRESULT OnPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&g_mainCommandMap, window, wParam, lParam);
}

LRESULT OnExit(HWND window, WPARAM, WORD, LPARAM)
{
    DestroyWindow(window);
    return 0;
}

LRESULT OnRefresh(HWND, WPARAM, WORD, LPARAM)
{
    RefreshMain();
    return 0;
}

LRESULT OnReload(HWND, WPARAM, WORD, LPARAM)
{
    UpdateSortArrow(g_processList, false);
    ForgetAllProcesses(g_processList);
    RefreshMain();
    return 0;
}

// The one way the main window comes back from the notification area: the icon as the settings
// want it, a fresh list, the running timer, the window shown. With the tray in use, Restore and
// Maximize, the tray menu's Open, a second start of the program (they send SC_RESTORE) and a
// double click on the icon all end here.
void RestoreMainWindow(HWND window)
{
    SetTrayIcon(g_settings.useSysTray);
    RefreshMain();
    SetMainTimer(TRUE);
    ShowWindow(window, SW_SHOW);
}

// With the tray, minimising or closing hides the window and stops its timer.
LRESULT OnSysCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_settings.useSysTray)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
    case SC_CLOSE:
        SetMainTimer(FALSE);
        ShowWindow(window, SW_HIDE);
        return 0;
    case SC_MAXIMIZE:
    case SC_RESTORE:
        DefWindowProcA(window, message, wParam, lParam);
        RestoreMainWindow(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT OnTrayNotify(HWND window, UINT, WPARAM, LPARAM lParam)
{
    static HMENU trayMenu;
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDBLCLK:
        RestoreMainWindow(window);
        SetForegroundWindow(window);
        break;
    case WM_RBUTTONUP:
        if (!trayMenu)
            trayMenu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_TRAYMENU));
        PopupSubmenu(trayMenu, ResText(IDS_MENU_TRAY));
        break;
    }
    return 0;
}

LRESULT OnOpenWindow(HWND window, WPARAM, WORD, LPARAM)
{
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    return 0;
}

const MessageEntry kMainMessages[] = {
    {WM_MOUSEMOVE, OnFinderMouseMove},
    {WM_COMMAND, OnCommand},
    {WM_TIMER, OnTimer},
    {WM_SYSCOMMAND, OnSysCommand},
    {WM_SIZE, OnSize},
    {WM_NOTIFY, OnNotify},
    {WM_ACTIVATEAPP, OnActivateApp},
    {WM_CREATE, OnCreate},
    {WM_PAINT, OnPaint},
    {WM_DRAWITEM, OnDrawItem},
    {WM_DESTROY, OnDestroy},
    {WM_LISTEVENT, OnListEvent},
    {WM_TRAYEVENT, OnTrayNotify},
    {WM_LBUTTONUP, OnFinderButtonUp},
    {WM_QUERYENDSESSION, OnQueryEndSession},
    {WM_SYSCOLORCHANGE, OnSysColorChange},
};

const CommandEntry kMainCommands[] = {
    {IDM_EXIT, OnExit},
    {IDM_OPEN, OnOpenWindow},
    {IDM_STARTMINIMIZED, OnBooleanOption},
    {IDM_LOADATSTARTUP, OnLoadAtStartup},
    {IDM_HEXPID, OnBooleanOption},
    {IDM_USESYSTRAY, OnBooleanOption},
    {IDM_MULTIINSTANCES, OnBooleanOption},
    {IDM_STATUSGRAPHS, OnBooleanOption},
    {IDM_REFRESHTIMES, OnRefreshTimes},
    {IDM_SELECTCOLUMNS, OnSelectColumns},
    {IDM_REFRESH, OnRefresh},
    {IDM_SAVEAS, SaveMainList},
    {IDM_THREADS, OnThreadsCommand},
    {IDM_MODULES, OnModulesCommand},
    {IDM_PROCESSTREE, OnProcessTreeCommand},
    {IDM_MODULEUSAGE, OnModuleUsageCommand},
    {IDM_APPLICATIONS, OnApplicationsCommand},
    {IDM_SYSTEMINFO, OnSystemInfoCommand},
    {IDM_INFO, OnInfoCommand},
    {IDM_MEMORY, OnMemoryCommand},
    {IDM_HEAP, OnHeapCommand},
    {IDM_PRIORITY, OnPriorityCommand},
    {IDM_KILL, OnKillCommand},
    {IDM_SWITCHTO, OnSwitchToCommand},
    {IDM_BRINGTOFRONT, OnSwitchToCommand},
    {IDM_RELOAD, OnReload},
    {IDM_HELP, OnHelpCommand},
    {IDM_ABOUT, OnAboutCommand},
};

} // namespace

const MessageMap g_mainMessageMap = {sizeof kMainMessages / sizeof kMainMessages[0], kMainMessages,
                                     DefaultWindow};
const CommandMap g_mainCommandMap = {sizeof kMainCommands / sizeof kMainCommands[0], kMainCommands,
                                     DefaultWindow};

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The shell's broadcast after it re-creates the notification area has a number known only
    // at run time, so it cannot be a table row.
    if (message == TaskbarCreatedMessage() && message != 0)
        return OnTaskbarCreated(window);
    return DispatchMessageMap(&g_mainMessageMap, window, message, wParam, lParam);
}

void RefreshMain()
{
    if (g_listFrozen) {
        SetWindowTextA(g_mainWindow, g_windowTitle);
        SendMessageA(g_toolbar, TB_CHECKBUTTON, IDM_MODULEUSAGE, FALSE);
        g_listFrozen = false;
    }
    RefreshMainKeepingFilter();
}

void RefreshMainKeepingFilter()
{
    if (RefreshProcessList(g_processList))
        ShowSelection(nullptr);
}

bool MainListHeld()
{
    return g_listFrozen;
}

void HoldMainList(bool hold)
{
    g_listFrozen = hold;
}

void ShowModuleFilter(const char *moduleName)
{
    SendMessageA(g_toolbar, TB_CHECKBUTTON, IDM_MODULEUSAGE, MAKELPARAM(TRUE, 0));
    if (moduleName) {
        char title[2 * MAX_PATH];
        std::snprintf(title, sizeof title, "%s -- %s", g_windowTitle, moduleName);
        SetWindowTextA(g_mainWindow, title);
    }
    g_listFrozen = true;
}

void ShowStatusGraphs(bool)
{
    SetStatusParts();
}

void SetStatusRedraw(bool on)
{
    SendMessageA(g_statusBar, WM_SETREDRAW, on, 0);
}

HWND MainToolbar()
{
    return g_toolbar;
}

void UpdateCommandStates(const ProcessRecord *record)
{
    const bool hasSelection = record != nullptr;
    const bool isProcess = record && record->kind != KindTask16;
    if (hasSelection == g_hasSelection && isProcess == g_selectionIsProcess)
        return;
    g_hasSelection = hasSelection;
    g_selectionIsProcess = isProcess;
    HMENU menu = GetMenu(g_mainWindow);
    for (const CommandState &state : kCommandStates) {
        bool enabled = state.need == NeedProcess ? isProcess : hasSelection;
        if (state.need == NeedSelection9x)
            enabled = hasSelection && !IsNt;
        EnableMenuItem(menu, state.command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        SendMessageA(g_toolbar, TB_ENABLEBUTTON, state.command, MAKELPARAM(enabled, 0));
    }
}

void UpdateStatusText(const ProcessRecord *record)
{
    const long long key = record ? record->id : 0;
    if (key != g_statusKey) {
        g_statusKey = key;
        g_statusCount = -1;
        if (record) {
            char summary[MAX_PATH] = "";
            FormatVersionSummary(record->path, summary, MAX_PATH);
            SendMessageA(g_statusBar, SB_SETTEXTA, 0,
                         reinterpret_cast<LPARAM>(summary[0] ? summary : record->name));
        }
    }
    if (record)
        return;
    const int count = static_cast<int>(SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0));
    if (count == g_statusCount)
        return;
    g_statusCount = count;
    char text[MAX_PATH];
    std::snprintf(text, sizeof text, "%d %s", count, ResText(IDS_STATUS_PROCESSES));
    SendMessageA(g_statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void ShowSelection(const ProcessRecord *record)
{
    UpdateCommandStates(record);
    UpdateStatusText(record);
}

void PopupSubmenu(HMENU menu, const char *title)
{
    if (!menu || !title)
        return;
    char text[MAX_PATH];
    for (int position = 0; GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION) > 0;
         ++position) {
        if (std::strcmp(text, title) != 0)
            continue;
        HMENU submenu = GetSubMenu(menu, position);
        if (!submenu)
            return;
        POINT cursor;
        GetCursorPos(&cursor);
        SetForegroundWindow(g_mainWindow);
        TrackPopupMenu(submenu, TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, g_mainWindow,
                       nullptr);
        PostMessageA(nullptr, WM_NULL, 0, 0);
        return;
    }
}

bool SelectProcessById(DWORD id)
{
    if (!g_processList)
        return false;
    const int count = static_cast<int>(SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0));
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    for (int row = 0; row < count; ++row) {
        const ProcessRecord *record = RecordAt(row);
        if (!record || record->id != id)
            continue;
        state.state = LVIS_SELECTED;
        SendMessageA(g_processList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        SendMessageA(g_processList, LVM_ENSUREVISIBLE, row, TRUE);
        ShowSelection(record);
        return true;
    }
    const int selected = static_cast<int>(
        SendMessageA(g_processList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (selected >= 0) {
        state.state = 0;
        SendMessageA(g_processList, LVM_SETITEMSTATE, selected, reinterpret_cast<LPARAM>(&state));
    }
    ShowSelection(nullptr);
    return false;
}
