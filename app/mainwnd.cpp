#include "app/mainwnd.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "actions/about.h"
#include "actions/affinity.h"
#include "actions/copy.h"
#include "actions/debug.h"
#include "actions/dump.h"
#include "actions/finder.h"
#include "actions/kill.h"
#include "actions/openlocation.h"
#include "actions/priority.h"
#include "actions/run.h"
#include "actions/suspend.h"
#include "actions/switchto.h"
#include "app/statusgraphs.h"
#include "app/allusers.h"
#include "app/filterbox.h"
#include "app/tray.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/dpi.h"
#include "core/processlist.h"
#include "core/processlisttree.h"
#include "core/rowfilter.h"
#include "core/save.h"
#include "core/settings.h"
#include "core/sysapi.h"
#include "providers/fill.h"
#include "providers/systemsample.h"
#include "resource.h"
#include "settings/columnsdlg.h"
#include "settings/options.h"
#include "views/apps.h"
#include "views/findhandle.h"
#include "views/handles.h"
#include "views/heap.h"
#include "views/memory.h"
#include "views/modules.h"
#include "views/startupinfo.h"
#include "views/systeminfo.h"
#include "views/threads.h"
#include "views/tree.h"
#include "views/usage.h"
#include "views/version.h"

HWND g_toolbar = nullptr;
HWND g_statusBar = nullptr;
bool g_listFrozen = false;

namespace {

// Sent when the window moves to a screen of another DPI, or that screen's scale changes
// (Windows 8.1 and later, to programs that declare themselves aware of it).
const UINT kDpiChangedMessage = 0x02E0; // WM_DPICHANGED

int g_toolbarHeight;
int g_statusHeight;
// Which needs of the command table the selection meets now: a bit for each CommandNeed.
unsigned g_needsMet;
long long g_statusKey = -1;

const int kNoButton = -1;

LRESULT OnExit(HWND, WPARAM, WORD, LPARAM);
LRESULT OnOpenWindow(HWND, WPARAM, WORD, LPARAM);
LRESULT OnRefresh(HWND, WPARAM, WORD, LPARAM);
LRESULT OnReload(HWND, WPARAM, WORD, LPARAM);
LRESULT OnFilterCommand(HWND, WPARAM, WORD, LPARAM);
LRESULT OnFilterBoxCommand(HWND, WPARAM, WORD, LPARAM);
LRESULT OnPauseRefresh(HWND, WPARAM, WORD, LPARAM);
LRESULT OnRefreshSpeed(HWND, WPARAM, WORD, LPARAM);
bool PauseChecked(int command);
bool SpeedChecked(int command);

const MainCommand kCommands[] = {
    {IDM_REFRESH, OnRefresh, NeedNothing, Everywhere, true, TBIMG_REFRESH, 1, IDS_TIP_REFRESH, nullptr},
    {IDM_SAVEAS, SaveMainList, NeedNothing, Everywhere, true, TBIMG_SAVE, 1, IDS_TIP_SAVE, nullptr},
    {IDM_THREADS, OnThreadsCommand, NeedProcess, Everywhere, true, TBIMG_THREADS, 2, IDS_TIP_THREADS, nullptr},
    {IDM_MODULES, OnModulesCommand, NeedProcess, Everywhere, true, TBIMG_MODULES, 2, IDS_TIP_MODULES, nullptr},
    {IDM_MEMORY, OnMemoryCommand, NeedProcess, Everywhere, true, TBIMG_MEMORY, 2, IDS_TIP_MEMORY, nullptr},
    {IDM_KILL, OnKillCommand, NeedSelection, Everywhere, true, TBIMG_KILL, 3, IDS_TIP_KILL, nullptr},
    {IDM_KILLTREE, OnKillTreeCommand, NeedSelection, Everywhere, true, kNoButton, 0, 0, nullptr},
    // Processes are suspended through calls of the NT family.
    {IDM_SUSPEND, OnSuspendCommand, NeedProcess, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_RESUME, OnResumeCommand, NeedSuspended, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_PRIORITY, OnPriorityCommand, NeedProcess, Everywhere, true, TBIMG_PRIORITY, 3, IDS_TIP_PRIORITY, nullptr},
    // Dumps and processor affinity are NT facilities.
    {IDM_AFFINITY, OnAffinityCommand, NeedProcess, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_WRITEDUMP, OnDumpCommand, NeedProcess, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_PROCESSTREE, OnProcessTreeCommand, NeedNothing, Everywhere, true, TBIMG_PROCESSTREE, 4, IDS_TIP_PROCESSTREE, nullptr},
    {IDM_MODULEUSAGE, OnModuleUsageCommand, NeedNothing, Everywhere, true, TBIMG_MODULEUSAGE, 4, IDS_TIP_MODULEUSAGE, nullptr},
    {IDM_APPLICATIONS, OnApplicationsCommand, NeedNothing, Everywhere, true, TBIMG_APPLICATIONS, 4, IDS_TIP_APPLICATIONS, nullptr},
    {IDM_FINDER, nullptr, NeedNothing, Everywhere, false, TBIMG_FINDER, 5, IDS_TIP_FINDER, nullptr},

    {IDM_RUN, OnRunCommand, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_SAVEALLCOLUMNS, SaveAllColumns, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_EXIT, OnExit, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_OPEN, OnOpenWindow, NeedNothing, Everywhere, false, kNoButton, 0, 0, nullptr}, // tray menu
    {IDM_STARTMINIMIZED, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_LOADATSTARTUP, OnLoadAtStartup, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_HEXPID, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_HIGHLIGHTNEW, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_HIGHLIGHTENDED, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_TREEVIEW, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_PAUSEREFRESH, OnPauseRefresh, NeedNothing, Everywhere, true, kNoButton, 0, 0, PauseChecked},
    {IDM_SPEED1, OnRefreshSpeed, NeedNothing, Everywhere, true, kNoButton, 0, 0, SpeedChecked},
    {IDM_SPEED2, OnRefreshSpeed, NeedNothing, Everywhere, true, kNoButton, 0, 0, SpeedChecked},
    {IDM_SPEED5, OnRefreshSpeed, NeedNothing, Everywhere, true, kNoButton, 0, 0, SpeedChecked},
    {IDM_SPEED10, OnRefreshSpeed, NeedNothing, Everywhere, true, kNoButton, 0, 0, SpeedChecked},
    {IDM_USESYSTRAY, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_MULTIINSTANCES, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_STATUSGRAPHS, OnBooleanOption, NeedNothing, Everywhere, true, kNoButton, 0, 0, OptionChecked},
    {IDM_REFRESHTIMES, OnRefreshTimes, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    // Live figures are read on NT only.
    {IDM_SELECTCOLUMNS, OnSelectColumns, NeedNothing, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_SYSTEMINFO, OnSystemInfoCommand, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    // Windows 9x has no handle table: Find then searches the modules only.
    {IDM_HANDLES, OnHandlesCommand, NeedProcess, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_FINDHANDLE, OnFindHandleCommand, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_INFO, OnInfoCommand, NeedSelection, Everywhere, true, kNoButton, 0, 0, nullptr},
    // Windows 9x has no startup record to read and no registered debugger to start.
    {IDM_STARTUPINFO, OnStartupInfoCommand, NeedProcess, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_DEBUG, OnDebugCommand, NeedProcess, NtOnly, true, kNoButton, 0, 0, nullptr},
    {IDM_COPYPATH, OnCopyPathCommand, NeedSelection, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_COPYROW, OnCopyRowCommand, NeedSelection, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_OPENLOCATION, OnOpenLocationCommand, NeedPath, Everywhere, true, kNoButton, 0, 0, nullptr},
    // Heaps can be walked on Windows 9x only.
    {IDM_HEAP, OnHeapCommand, NeedSelection, Only9x, true, kNoButton, 0, 0, nullptr},
    {IDM_SWITCHTO, OnSwitchToCommand, NeedSelection, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_BRINGTOFRONT, OnSwitchToCommand, NeedSelection, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_RELOAD, OnReload, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    {IDM_FILTER, OnFilterCommand, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
    // Offered in the menu only to a limited token.
    {IDM_ALLUSERS, OnAllUsersCommand, NeedNothing, NtOnly, false, kNoButton, 0, 0, nullptr},
    {kFilterEditId, OnFilterBoxCommand, NeedNothing, Everywhere, false, kNoButton, 0, 0, nullptr},
    {IDM_HELP, OnHelpCommand, NeedNothing, Everywhere, false, kNoButton, 0, 0, nullptr},
    {IDM_ABOUT, OnAboutCommand, NeedNothing, Everywhere, true, kNoButton, 0, 0, nullptr},
};
const int kCommandCount = sizeof kCommands / sizeof kCommands[0];
const int kToolbarImageCount = 11;

unsigned NeedBit(CommandNeed need)
{
    return 1u << need;
}

// The needs the selected record meets (null: nothing selected).
unsigned NeedsMetBy(const ProcessRecord *record)
{
    unsigned met = NeedBit(NeedNothing);
    if (record)
        met |= NeedBit(NeedSelection);
    if (record && record->kind != KindTask16)
        met |= NeedBit(NeedProcess);
    if (record && record->path[0])
        met |= NeedBit(NeedPath);
    for (const ProcessRecord *selected : record ? SelectedRecords() : std::vector<ProcessRecord *>())
        if (selected->flags & RecordSuspendedAny)
            met |= NeedBit(NeedSuspended);
    return met;
}

bool CommandEnabled(const MainCommand &row, unsigned needsMet)
{
    return CommandPresent(row) && (needsMet & NeedBit(row.need));
}

const MainCommand *FindCommand(int command)
{
    for (const MainCommand &row : kCommands)
        if (row.command == command)
            return &row;
    return nullptr;
}

// The toolbar strips drawn for 100%, 150% and 200% screens, by image width.
struct ToolbarImages {
    int width, height;
    UINT bitmap;
};
const ToolbarImages kToolbarImages[] = {
    {16, 15, IDB_TOOLBAR},
    {24, 23, IDB_TOOLBAR24},
    {32, 30, IDB_TOOLBAR32},
};
const int kToolbarImageWidths[] = {16, 24, 32};
// A button's size around a 16x15 image on a 96-dpi screen.
const int kButtonWidth = 23;
const int kButtonHeight = 22;

const ToolbarImages &ToolbarImagesForDpi(int dpi)
{
    const int width = NearestImageSize(kToolbarImageWidths, 3, ScaleFrom96(16, dpi));
    for (const ToolbarImages &images : kToolbarImages)
        if (images.width == width)
            return images;
    return kToolbarImages[0];
}

// The main refresh: paused by the user (Space), and held by the module-usage filter, whose
// module's name the status bar shows.
bool g_refreshPaused;
bool g_moduleHeld;
char g_heldModule[MAX_PATH];

// The refresh intervals the Refresh Speed menu offers, in seconds.
struct RefreshSpeed {
    int command;
    int seconds;
};
const RefreshSpeed kRefreshSpeeds[] = {
    {IDM_SPEED1, 1},
    {IDM_SPEED2, 2},
    {IDM_SPEED5, 5},
    {IDM_SPEED10, 10},
};

// A letter typed in the list starts or extends its type-ahead search; a Space typed within the
// list's search time after it belongs to that search, not to the pause.
DWORD g_lastTypedTick;
bool g_typedRecently;

bool RefreshStateShown();

// The status bar's parts from left to right, each with its width in 96-dpi pixels. The
// selection text comes first and takes what the parts after it leave.
// A part with a `shown` test is left out while it answers false; a drawn part shows no text.
enum StatusPartIndex {
    StatusSelection,
    StatusCount,
    StatusRefresh,
    StatusCpuGraph,
    StatusCommitGraph
};
struct StatusPart {
    int width;       // unused for the first part
    bool (*shown)(); // null = always
    bool drawn;      // drawn by its owner, not a text
};
const StatusPart kStatusParts[] = {
    {0, nullptr, false},                         // StatusSelection
    {130, nullptr, false},                       // StatusCount: "N of M processes" while filtering
    {240, RefreshStateShown, false},             // StatusRefresh: paused, or held by module usage
    {kStatusGraphWidth, StatusGraphsShown, true}, // StatusCpuGraph
    {kStatusGraphWidth, StatusGraphsShown, true}, // StatusCommitGraph
};
const int kStatusPartCount = sizeof kStatusParts / sizeof kStatusParts[0];

// The full text of each part; the bar shows as much of it as fits, ending with "...".
char g_statusTexts[kStatusPartCount][MAX_PATH];
// Where each part of the table stands in the bar now; -1 while it is left out.
int g_statusPosition[kStatusPartCount] = {0, -1, -1, -1, -1};

bool RefreshStateShown()
{
    return g_statusTexts[StatusRefresh][0] != '\0';
}

// The control of the window that had the focus last (the list or the filter box); it gets the
// focus back whenever the window does, after a dialog or view closed or the window was activated
// again. Null: the list.
HWND g_focus;

HFONT g_dpiFont; // the lists' font made for a DPI other than the system's; null while none is

HWND CreateToolbar(HWND window)
{
    TBBUTTON buttons[2 * kCommandCount] = {};
    int count = 0, group = 0;
    for (const MainCommand &row : kCommands) {
        if (row.image == kNoButton)
            continue;
        if (row.group != group) {
            buttons[count++].fsStyle = TBSTYLE_SEP;
            group = row.group;
        }
        TBBUTTON &button = buttons[count++];
        button.iBitmap = row.image;
        button.idCommand = row.command;
        button.fsState = CommandEnabled(row, g_needsMet) ? TBSTATE_ENABLED : 0;
        button.fsStyle = TBSTYLE_BUTTON;
    }
    const ToolbarImages &images = ToolbarImagesForDpi(g_screenDpi);
    HWND toolbar = CreateToolbarEx(window, WS_CHILD | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, kToolbarId,
                                   kToolbarImageCount, g_instance, images.bitmap, buttons,
                                   count, 0, ScaleFrom96(16, g_screenDpi),
                                   images.width, images.height, sizeof(TBBUTTON));
    // Buttons as large on every screen as the 16x15 images make them on a 96-dpi one, whichever
    // size of the images is drawn.
    SendMessageA(toolbar, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(ScaleFrom96(kButtonWidth, g_screenDpi),
                            ScaleFrom96(kButtonHeight, g_screenDpi)));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    return toolbar;
}

// The right edge of each shown status part for a bar `width` pixels wide; the last runs to the
// end, and the parts after the first stay clear of the sizing grip.
void LayoutStatusParts(int width)
{
    int rows[kStatusPartCount];
    int count = 0;
    for (int i = 0; i < kStatusPartCount; ++i) {
        const bool shown = !kStatusParts[i].shown || kStatusParts[i].shown();
        g_statusPosition[i] = shown ? count : -1;
        if (shown)
            rows[count++] = i;
    }
    int edges[kStatusPartCount];
    int edge = width - (count > 1 ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    for (int p = count - 1; p >= 0; --p) {
        edges[p] = p == count - 1 ? -1 : edge;
        edge -= ScaleFrom96(kStatusParts[rows[p]].width, g_screenDpi);
    }
    SendMessageA(g_statusBar, SB_SETPARTS, count, reinterpret_cast<LPARAM>(edges));
    const int graphs = g_statusPosition[StatusCpuGraph];
    AttachStatusGraphs(g_statusBar, graphs, graphs >= 0);
}

// Shows the stored text of a part, shortened to "..." at its end when the part is too narrow.
void ShowStatusPart(int row)
{
    const int part = g_statusPosition[row];
    if (part < 0 || kStatusParts[row].drawn)
        return;
    const char *full = g_statusTexts[row];
    char shown[MAX_PATH + 4];
    lstrcpynA(shown, full, MAX_PATH);
    RECT rect;
    HDC dc = GetDC(g_statusBar);
    if (dc && SendMessageA(g_statusBar, SB_GETRECT, part, reinterpret_cast<LPARAM>(&rect))) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(g_statusBar, WM_GETFONT, 0, 0)));
        const int room = rect.right - rect.left - ScaleFrom96(8, g_screenDpi); // the bar's margins
        const int length = lstrlenA(full);
        SIZE size, dots;
        int fit = 0;
        if (GetTextExtentPoint32A(dc, full, length, &size) && size.cx > room &&
            GetTextExtentPoint32A(dc, "...", 3, &dots) &&
            GetTextExtentExPointA(dc, full, length, room - dots.cx, &fit, nullptr, &size)) {
            // Cut at a character boundary, never inside a double-byte character.
            const char *end = full;
            for (const char *next = CharNextA(end); *end && next - full <= fit; next = CharNextA(end))
                end = next;
            lstrcpyA(shown + (end - full), "...");
        }
        SelectObject(dc, old);
    }
    if (dc)
        ReleaseDC(g_statusBar, dc);
    SendMessageA(g_statusBar, SB_SETTEXTA, part, reinterpret_cast<LPARAM>(shown));
}

void SetStatusPart(int row, const char *text)
{
    lstrcpynA(g_statusTexts[row], text, MAX_PATH);
    ShowStatusPart(row);
}

// The refresh-state part: the module-usage filter's hold, else the pause, else left out.
void ShowRefreshState()
{
    char text[MAX_PATH] = "";
    if (g_moduleHeld)
        std::snprintf(text, sizeof text, ResText(IDS_STATUS_HELD), g_heldModule);
    else if (g_refreshPaused)
        lstrcpynA(text, ResText(IDS_STATUS_PAUSED), sizeof text);
    if (std::strcmp(text, g_statusTexts[StatusRefresh]) == 0)
        return;
    lstrcpynA(g_statusTexts[StatusRefresh], text, MAX_PATH);
    // The part comes or goes: the others move.
    RECT bar;
    if (!g_statusBar || !GetClientRect(g_statusBar, &bar))
        return;
    LayoutStatusParts(bar.right - bar.left);
    for (int part = 0; part < kStatusPartCount; ++part)
        ShowStatusPart(part);
}

// The count part: the shown rows of running processes, out of all of them while the filter box
// filters.
void ShowProcessCount()
{
    char text[MAX_PATH];
    if (RowFilterActive())
        std::snprintf(text, sizeof text, ResText(IDS_STATUS_FILTERED), CountLiveRows(),
                      CountFilterableRecords());
    else
        std::snprintf(text, sizeof text, "%d %s", CountLiveRows(), ResText(IDS_STATUS_PROCESSES));
    if (std::strcmp(text, g_statusTexts[StatusCount]) != 0)
        SetStatusPart(StatusCount, text);
}

// The system's icon-title font, which list views take by default, at `dpi`.
HFONT CreateListFont(int dpi)
{
    LOGFONTA logFont;
    if (!SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof logFont, &logFont, 0))
        return nullptr;
    logFont.lfHeight = MulDiv(logFont.lfHeight, dpi, ScreenDpi(nullptr));
    return CreateFontIndirectA(&logFont);
}

// Fonts of the list and status bar for the running DPI. They keep the system's own while the
// window is on a screen of the system's DPI; once it was on another, they get one made for the
// DPI of each screen it moves to.
void ApplyDpiFont()
{
    if (!g_dpiFont && g_screenDpi == ScreenDpi(nullptr))
        return;
    HFONT font = CreateListFont(g_screenDpi);
    if (!font)
        return;
    SendMessageA(g_processList, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SendMessageA(g_statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (g_dpiFont)
        DeleteObject(g_dpiFont);
    g_dpiFont = font;
}

int WindowHeight(HWND window)
{
    RECT rect;
    if (!window || !GetWindowRect(window, &rect))
        return 0;
    return rect.bottom - rect.top;
}

LRESULT OnCreate(HWND window, UINT, WPARAM, LPARAM)
{
    g_mainWindow = window;
    g_focus = nullptr;
    g_screenDpi = ScreenDpi(window);
    g_needsMet = NeedsMetBy(nullptr);
    g_statusKey = -1;
    g_refreshPaused = g_moduleHeld = g_typedRecently = false;
    for (char *text : g_statusTexts)
        text[0] = '\0';
    g_toolbar = CreateToolbar(window);
    if (!g_toolbar)
        return -1;
    g_statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_BORDER, "", window, kStatusBarId);
    PlaceFilterBox(g_toolbar);
    ShowWindow(g_toolbar, SW_SHOW);
    if (g_statusBar)
        ShowWindow(g_statusBar, SW_SHOW);
    g_toolbarHeight = WindowHeight(g_toolbar);
    g_statusHeight = WindowHeight(g_statusBar);

    g_processList = CreateProcessList(
        window, WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
        WS_EX_CLIENTEDGE, g_columns, g_columnCount, kProcessListId);
    if (!g_processList)
        return -1;
    // The whole selected row lights up, not only its name; list views before version 4.70
    // ignore the message.
    SendMessageA(g_processList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
    AttachTreeKeys(g_processList);
    ShowTree(g_processList, g_settings.treeView);
    ApplyDpiFont();
    ShowWindow(g_processList, SW_SHOW);
    SendMessageA(window, WM_COMMAND, IDM_RELOAD, 0);

    HMENU menu = GetMenu(window);
    for (const MainCommand &row : kCommands)
        if (!CommandPresent(row))
            DeleteMenu(menu, row.command, MF_BYCOMMAND);
    ShowCommandChecks();
    OfferAllUsers(menu);
    if (g_settings.useSysTray)
        SetTrayIcon(TRUE);
    return 0;
}

// Toolbar on top, status bar at the bottom, the list between them; the status parts follow the
// width.
void LayoutMainWindow(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    if (g_toolbar)
        MoveWindow(g_toolbar, client.left, client.top, client.right, g_toolbarHeight, TRUE);
    LayoutFilterBox(client.right - client.left, g_toolbarHeight);
    const int listTop = client.top + g_toolbarHeight - 1;
    if (g_processList)
        MoveWindow(g_processList, client.left, listTop, client.right,
                   client.bottom - g_statusHeight - listTop, TRUE);
    if (!g_statusBar)
        return;
    MoveWindow(g_statusBar, client.left, client.bottom - g_statusHeight, client.right,
               g_statusHeight, TRUE);
    LayoutStatusParts(client.right - client.left);
    for (int part = 0; part < kStatusPartCount; ++part)
        ShowStatusPart(part);
}

// A toolbar with the images of the running DPI, its buttons in the states they had.
void RecreateToolbar(HWND window)
{
    HWND old = g_toolbar;
    g_toolbar = CreateToolbar(window);
    if (!g_toolbar) {
        g_toolbar = old;
        return;
    }
    PlaceFilterBox(g_toolbar);
    DestroyWindow(old);
    ShowWindow(g_toolbar, SW_SHOW);
    g_toolbarHeight = WindowHeight(g_toolbar);
    SendMessageA(g_toolbar, TB_CHECKBUTTON, IDM_MODULEUSAGE, MAKELPARAM(g_listFrozen, 0));
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
    LayoutMainWindow(window);
    return 0;
}

// A new DPI: the window takes the rectangle the system suggests for it, and its columns,
// toolbar, sort arrows, status parts and fonts the sizes of the new screen. A message without
// the rectangle is not one the system sent, and is ignored; the DPI is taken within reason.
LRESULT OnDpiChanged(HWND window, UINT, WPARAM wParam, LPARAM lParam)
{
    if (!lParam)
        return 0;
    CaptureColumnWidths(g_processList); // at the DPI they were shown at
    g_screenDpi = ClampDpi(HIWORD(wParam));
    ApplyDpiFont();
    for (int i = 0; i < g_columnCount; ++i)
        SendMessageA(g_processList, LVM_SETCOLUMNWIDTH, i,
                     MAKELPARAM(ScaleFrom96(g_columns[i].width, g_screenDpi), 0));
    UpdateSortArrow(g_processList, true);
    RecreateToolbar(window);
    const RECT *suggested = reinterpret_cast<const RECT *>(lParam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutMainWindow(window);
    return 0;
}

void SetTooltipText(NMHDR *header)
{
    NMTTDISPINFOA *info = reinterpret_cast<NMTTDISPINFOA *>(header);
    const MainCommand *row = FindCommand(static_cast<int>(header->idFrom));
    if (row && row->tooltip) {
        info->hinst = g_instance;
        info->lpszText = MAKEINTRESOURCEA(row->tooltip);
    }
}

// Whether a key typed in the list belongs to its type-ahead search: a printable character, or a
// Space within the list's search time after one. The list view joins characters typed within
// that time into one search; the time is taken generously, as the longest any list view uses.
bool TypeAheadKey(WORD key)
{
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    const DWORD now = GetTickCount();
    const bool searching = g_typedRecently && now - g_lastTypedTick < 2 * GetDoubleClickTime();
    const UINT typed = MapVirtualKeyA(key, 2) & 0x7FFF; // MAPVK_VK_TO_CHAR
    const bool typing = key == VK_SPACE ? searching : typed > ' ';
    g_typedRecently = typing;
    if (typing)
        g_lastTypedTick = now;
    return typing;
}

// Keys of the list itself, so they act only while it has the focus: Delete kills the selected
// processes, Shift+Delete their trees, Ctrl+A selects every shown row, Space pauses or resumes
// the refresh unless it continues a type-ahead search. Every key may move the selection.
void OnListKey(HWND window, WORD key)
{
    const bool typeAhead = TypeAheadKey(key);
    if (key == VK_SPACE && !typeAhead && GetKeyState(VK_CONTROL) >= 0)
        PostMessageA(window, WM_COMMAND, IDM_PAUSEREFRESH, 0);
    if (key == 'A' && GetKeyState(VK_CONTROL) < 0)
        SelectAllRows(g_processList);
    PostMessageA(window, WM_LISTEVENT, LVN_KEYDOWN, kProcessListId);
    if (key == VK_DELETE)
        PostMessageA(window, WM_COMMAND, GetKeyState(VK_SHIFT) < 0 ? IDM_KILLTREE : IDM_KILL, 0);
}

LRESULT OnNotify(HWND window, UINT, WPARAM, LPARAM lParam)
{
    NMHDR *header = reinterpret_cast<NMHDR *>(lParam);
    LRESULT result = 0;
    if (AnswerListNotify(header, &result))
        return result;
    switch (header->code) {
    case NM_SETFOCUS:
        if (header->hwndFrom == g_processList)
            g_focus = g_processList;
        return 0;
    case TTN_NEEDTEXTA:
        SetTooltipText(header);
        return 0;
    case TBN_BEGINDRAG:
        return OnFinderBeginDrag(window, header);
    case LVN_KEYDOWN:
        if (header->idFrom == static_cast<UINT_PTR>(kProcessListId))
            OnListKey(window, reinterpret_cast<const NMLVKEYDOWN *>(header)->wVKey);
        return 0;
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
    ShowSelection(SelectedRecord());
    const UINT code = static_cast<UINT>(wParam);
    if (code == static_cast<UINT>(NM_RCLICK))
        PopupSubmenu(GetMenu(window), ResText(IDS_MENU_PROCESS));
    else if (code == static_cast<UINT>(NM_DBLCLK))
        SendMessageA(window, WM_COMMAND, IDM_INFO, 0);
    return 0;
}

void RefreshOnTimer(HWND)
{
    if (!g_listFrozen && !g_refreshPaused)
        RefreshMain();
}

// The pause after typing in the filter box has passed: the list shows the rows the text lets
// through.
void FilterOnTimer(HWND window)
{
    TakeFilterText(window);
    ApplyRowFilter(g_processList);
    ShowFilterCount();
    if (SendMessageA(g_processList, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        ShowSelection(nullptr);
}

struct TimerEntry {
    UINT_PTR id;
    void (*handler)(HWND window);
};
const TimerEntry kTimers[] = {
    {kMainTimerId, RefreshOnTimer},
    {kFilterTimerId, FilterOnTimer},
    {kTakeoverTimerId, EndTakeoverWait},
};

LRESULT OnTimer(HWND window, UINT, WPARAM wParam, LPARAM)
{
    for (const TimerEntry &timer : kTimers)
        if (timer.id == wParam)
            timer.handler(window);
    return 0;
}

LRESULT OnDestroy(HWND, UINT, WPARAM, LPARAM)
{
    SetMainTimer(FALSE);
    SetTrayIcon(FALSE);
    StopSystemSampling();
    FinishDumpAtExit();
    KeepEndedProcesses(false); // the table without the window's settings, as it started
    CaptureMainListWidths();
    SaveSettings();
    PostQuitMessage(0);
    return 0;
}

LRESULT OnQueryEndSession(HWND, UINT, WPARAM, LPARAM)
{
    CaptureMainListWidths();
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

// Leaving: the focused control is noted. Coming back: the system gives the window the focus,
// which passes it on (OnSetFocus).
LRESULT OnActivate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus))
            g_focus = focus;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnSetFocus(HWND window, UINT, WPARAM, LPARAM)
{
    HWND target = g_focus && IsWindow(g_focus) && IsChild(window, g_focus) ? g_focus : g_processList;
    if (target)
        SetFocus(target);
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

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MainCommand *row = FindCommand(LOWORD(wParam));
    if (row && row->handler) {
        const LRESULT result = row->handler(window, wParam, HIWORD(wParam), lParam);
        if (IsWindow(window))
            UpdateCommandStates(SelectedRecord()); // a command may change what others need
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnExit(HWND window, WPARAM, WORD, LPARAM)
{
    DestroyWindow(window);
    return 0;
}

LRESULT OnFilterCommand(HWND, WPARAM, WORD, LPARAM)
{
    FocusFilterBox();
    return 0;
}

// Each change to the filter text restarts the pause before the list follows it.
LRESULT OnFilterBoxCommand(HWND window, WPARAM, WORD code, LPARAM)
{
    if (code == EN_SETFOCUS)
        g_focus = FilterBox();
    if (code == EN_CHANGE)
        SetTimer(window, kFilterTimerId, kFilterDelayMs, nullptr);
    return 0;
}

// F5 refreshes once, also while the refresh is paused.
LRESULT OnRefresh(HWND, WPARAM, WORD, LPARAM)
{
    RefreshMain();
    return 0;
}

LRESULT OnPauseRefresh(HWND, WPARAM, WORD, LPARAM)
{
    g_refreshPaused = !g_refreshPaused;
    ShowCommandChecks();
    ShowRefreshState();
    return 0;
}

bool PauseChecked(int)
{
    return g_refreshPaused;
}

// A new main interval, kept in the settings as the Set Refresh Times dialog keeps it; a running
// timer takes it at once.
LRESULT OnRefreshSpeed(HWND, WPARAM wParam, WORD, LPARAM)
{
    for (const RefreshSpeed &speed : kRefreshSpeeds)
        if (speed.command == LOWORD(wParam))
            g_settings.mainRefresh = speed.seconds;
    if (MainTimerRunning())
        SetMainTimer(TRUE);
    ShowCommandChecks();
    return 0;
}

bool SpeedChecked(int command)
{
    for (const RefreshSpeed &speed : kRefreshSpeeds)
        if (speed.command == command)
            return g_settings.mainRefresh == speed.seconds;
    return false;
}

// The check marks are brought up to date whenever a menu opens: the Set Refresh Times dialog
// may have changed the main interval meanwhile.
LRESULT OnInitMenuPopup(HWND, UINT, WPARAM, LPARAM)
{
    ShowCommandChecks();
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
    {WM_INITMENUPOPUP, OnInitMenuPopup},
    {WM_TIMER, OnTimer},
    {WM_SYSCOMMAND, OnSysCommand},
    {WM_SIZE, OnSize},
    {WM_NOTIFY, OnNotify},
    {WM_ACTIVATEAPP, OnActivateApp},
    {WM_ACTIVATE, OnActivate},
    {WM_SETFOCUS, OnSetFocus},
    {WM_CREATE, OnCreate},
    {WM_PAINT, OnPaint},
    {WM_DRAWITEM, OnDrawItem},
    {WM_DESTROY, OnDestroy},
    {WM_LISTEVENT, OnListEvent},
    {WM_TRAYEVENT, OnTrayNotify},
    {WM_TAKENOVER, OnTakenOver},
    {WM_TAKEOVERCHECK, OnTakeoverCheck},
    {WM_DUMPWRITTEN, OnDumpWritten},
    {WM_LBUTTONUP, OnFinderButtonUp},
    {WM_QUERYENDSESSION, OnQueryEndSession},
    {WM_SYSCOLORCHANGE, OnSysColorChange},
    {kDpiChangedMessage, OnDpiChanged},
};

} // namespace

bool CommandPresent(const MainCommand &row)
{
    return row.presence == Everywhere || (row.presence == NtOnly) == (IsNt != FALSE);
}

const MainCommand *MainCommands(int *count)
{
    *count = kCommandCount;
    return kCommands;
}

const MessageMap g_mainMessageMap = {sizeof kMainMessages / sizeof kMainMessages[0], kMainMessages,
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
    g_moduleHeld = false;
    ShowRefreshState();
    RefreshMainKeepingFilter();
}

void RefreshMainKeepingFilter()
{
    KeepEndedProcesses(g_settings.highlightEnded);
    if (RefreshProcessList(g_processList))
        ShowSelection(nullptr);
    ShowFilterCount();
}

void ShowFilterCount()
{
    ShowProcessCount();
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
    lstrcpynA(g_heldModule, moduleName ? moduleName : "", sizeof g_heldModule);
    g_moduleHeld = true;
    g_listFrozen = true;
    ShowRefreshState();
}

void ShowStatusGraphs(bool)
{
    LayoutMainWindow(g_mainWindow);
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
    const unsigned needsMet = NeedsMetBy(record);
    if (needsMet == g_needsMet)
        return;
    g_needsMet = needsMet;
    HMENU menu = GetMenu(g_mainWindow);
    for (const MainCommand &row : kCommands) {
        if (row.need == NeedNothing)
            continue;
        const bool enabled = CommandEnabled(row, needsMet);
        EnableMenuItem(menu, row.command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        SendMessageA(g_toolbar, TB_ENABLEBUTTON, row.command, MAKELPARAM(enabled, 0));
    }
}

void ShowCommandChecks()
{
    HMENU menu = GetMenu(g_mainWindow);
    for (const MainCommand &row : kCommands)
        if (row.checked)
            CheckMenuItem(menu, row.command,
                          MF_BYCOMMAND | (row.checked(row.command) ? MF_CHECKED : MF_UNCHECKED));
}

void UpdateStatusText(const ProcessRecord *record)
{
    // Several selected: how many. The key keeps apart from any identifier.
    const int selected = record ? SelectedCount() : 0;
    if (selected > 1) {
        const long long key = -2 - selected;
        if (key != g_statusKey) {
            g_statusKey = key;
            char text[MAX_PATH];
            std::snprintf(text, sizeof text, ResText(IDS_STATUS_SELECTED), selected);
            SetStatusPart(StatusSelection, text);
        }
        return;
    }
    const long long key = record ? record->id : 0;
    if (key != g_statusKey) {
        g_statusKey = key;
        char summary[MAX_PATH] = "";
        if (record)
            FormatVersionSummary(record->path, summary, MAX_PATH);
        SetStatusPart(StatusSelection, summary[0] || !record ? summary : record->name);
    }
    ShowProcessCount();
}

void ShowStatusNote(const char *text)
{
    SetStatusPart(StatusSelection, text);
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

// Brings a process the filter box hides or a closed branch holds back into the list.
void RevealProcess(DWORD id)
{
    const ProcessRecord *record = FindKnownProcess(id, KindProcess);
    if (!record || (record->flags & RecordNoDetails))
        return;
    if (record->flags & RecordFiltered) {
        SetWindowTextA(FilterBox(), "");
        FilterOnTimer(g_mainWindow);
    }
    if (TreeMode()) {
        ExpandAbove(record);
        ShowRows(g_processList);
    }
}

bool SelectProcessById(DWORD id)
{
    if (!g_processList)
        return false;
    RevealProcess(id);
    // The process found is the only one selected, and the focused one.
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(g_processList, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&state));
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        const ProcessRecord *record = RecordAt(row);
        if (!record || record->id != id)
            continue;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(g_processList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        SendMessageA(g_processList, LVM_ENSUREVISIBLE, row, TRUE);
        ShowSelection(record);
        return true;
    }
    ShowSelection(nullptr);
    return false;
}
