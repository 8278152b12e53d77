// The main window built for real in this process from the program's own resources, driven
// through the messages a user's actions produce.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "actions/run.h"
#include "app/allusers.h"
#include "app/filterbox.h"
#include "app/mainwnd.h"
#include "app/tray.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "core/settings.h"
#include "core/dpi.h"
#include "fixtures.h"
#include "providers/debugpriv.h"
#include "providers/provider.h"
#include "resource.h"
#include "views/historygraph.h"

namespace {

const char kTestKey[] = "Software\\KelvaneTest\\mainwindow";

using kvtest::Pump;

// A token whose elevation type the test chooses; 0 = a system that does not know the class.
DWORD g_elevationType;

BOOL WINAPI FakeOpenProcessToken(HANDLE, DWORD, PHANDLE token)
{
    *token = CreateEventA(nullptr, TRUE, FALSE, nullptr); // something the caller may close
    return *token != nullptr;
}

BOOL WINAPI FakeGetTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size,
                                    PDWORD needed)
{
    if (kind != static_cast<TOKEN_INFORMATION_CLASS>(18) || !g_elevationType || size < sizeof(DWORD))
        return FALSE;
    *static_cast<DWORD *>(data) = g_elevationType;
    *needed = sizeof(DWORD);
    return TRUE;
}

class MainWindow : public testing::Test {
protected:
    void SetUp() override
    {
        savedSettings = g_settings;
        savedKey = g_settingsKeyPath;
        g_settingsKeyPath = kTestKey;
        DetectOs();
        SelectColumnSet(IsNt);
        ASSERT_TRUE(BindProvider());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MainWndProc;
        wc.hInstance = g_instance;
        wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
        wc.lpszClassName = "KelvaneTestMain";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "KelvaneTestMain", g_windowTitle, WS_OVERLAPPEDWINDOW, 20, 20,
                                 640, 400, nullptr, nullptr, g_instance, nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        Pump();
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) // swallow our WM_QUIT
            if (msg.message != WM_QUIT)
                DispatchMessageA(&msg);
        g_processList = nullptr;
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
        g_settings = savedSettings;
        g_settingsKeyPath = savedKey;
    }

    int RowCount() const { return static_cast<int>(SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0)); }

    void Select(int row)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(g_processList, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        if (row >= 0)
            SendMessageA(g_processList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        NMHDR click = {g_processList, static_cast<UINT_PTR>(kProcessListId), static_cast<UINT>(NM_CLICK)};
        SendMessageA(window, WM_NOTIFY, kProcessListId, reinterpret_cast<LPARAM>(&click));
        Pump();
    }

    void ClickHeader(int column)
    {
        NMLISTVIEW click = {};
        click.hdr = {g_processList, static_cast<UINT_PTR>(kProcessListId), static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(window, WM_NOTIFY, kProcessListId, reinterpret_cast<LPARAM>(&click));
    }

    bool MenuEnabled(int command) const
    {
        return !(GetMenuState(GetMenu(window), command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    }
    bool ButtonEnabled(int command) const
    {
        return SendMessageA(g_toolbar, TB_ISBUTTONENABLED, command, 0) != 0;
    }
    std::string StatusText(int part = 0) const
    {
        char text[MAX_PATH] = "";
        SendMessageA(g_statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // The sort arrow a column's header shows, 0 for none: the format's arrow flag where the
    // header draws it (common controls 6 as Windows reports them), else the bitmap, one for
    // each direction, shown right of the text.
    INT_PTR HeaderArrow(int column) const
    {
        HWND header = reinterpret_cast<HWND>(SendMessageA(g_processList, LVM_GETHEADER, 0, 0));
        HDITEMA item = {};
        item.mask = HDI_FORMAT | HDI_BITMAP;
        SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&item));
        if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN))
            return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
        if (!(item.fmt & HDF_BITMAP))
            return 0;
        EXPECT_TRUE(item.fmt & HDF_BITMAP_ON_RIGHT);
        return reinterpret_cast<INT_PTR>(item.hbm);
    }
    int Compare(int row, int nextRow, int column) const
    {
        const SortParams params = {kProcessListId, column, 1};
        return CompareRecords(reinterpret_cast<LPARAM>(RecordAt(row)),
                              reinterpret_cast<LPARAM>(RecordAt(nextRow)),
                              reinterpret_cast<LPARAM>(&params));
    }

    HWND window = nullptr;
    Settings savedSettings;
    const char *savedKey = nullptr;
};

} // namespace

TEST_F(MainWindow, OpensFilledSortedByNameWithArrowAndTrimmedMenu)
{
    ASSERT_GT(RowCount(), 1);
    for (int row = 0; row + 1 < RowCount(); ++row)
        EXPECT_LE(Compare(row, row + 1, 0), 0) << "row " << row;
    EXPECT_NE(0, HeaderArrow(0));

    HMENU menu = GetMenu(window);
    for (int ntOnly : {IDM_STARTUPINFO, IDM_DEBUG, IDM_WRITEDUMP, IDM_AFFINITY})
        EXPECT_EQ(GetMenuState(menu, ntOnly, MF_BYCOMMAND) == static_cast<UINT>(-1), !IsNt) << ntOnly;
    for (int kept : {IDM_COPYPATH, IDM_COPYROW})
        EXPECT_NE(GetMenuState(menu, kept, MF_BYCOMMAND), static_cast<UINT>(-1)) << kept;
    EXPECT_EQ(GetMenuState(menu, IDM_HEAP, MF_BYCOMMAND) == static_cast<UINT>(-1), IsNt);
    EXPECT_TRUE(GetMenuState(menu, IDM_USESYSTRAY, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(MainWindow, HeaderClicksFlipDirectionAndMoveArrow)
{
    const INT_PTR ascending = HeaderArrow(0);
    ClickHeader(0); // same column: descending
    EXPECT_EQ(g_sortDirection, -1);
    const INT_PTR descending = HeaderArrow(0);
    EXPECT_NE(0, descending);
    EXPECT_NE(descending, ascending);
    for (int row = 0; row + 1 < RowCount(); ++row)
        EXPECT_GE(Compare(row, row + 1, 0), 0);

    ClickHeader(1); // another column: ascending by id, arrow moves
    EXPECT_EQ(g_sortColumn, 1);
    EXPECT_EQ(g_sortDirection, 1);
    EXPECT_EQ(0, HeaderArrow(0));
    EXPECT_EQ(ascending, HeaderArrow(1));
    for (int row = 0; row + 1 < RowCount(); ++row)
        EXPECT_LT(RecordAt(row)->id, RecordAt(row + 1)->id);
    ClickHeader(0);
}

TEST_F(MainWindow, SelectionDrivesCommandStatesAndStatusLine)
{
    const std::string count = std::to_string(RowCount()) + " Process(es)";
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(StatusText(1), count);
    for (int command : {IDM_THREADS, IDM_MODULES, IDM_MEMORY, IDM_PRIORITY, IDM_KILL, IDM_INFO})
        EXPECT_FALSE(MenuEnabled(command)) << command;
    EXPECT_FALSE(ButtonEnabled(IDM_THREADS));
    EXPECT_TRUE(ButtonEnabled(IDM_REFRESH));

    Select(0);
    for (int command : {IDM_THREADS, IDM_MODULES, IDM_MEMORY, IDM_PRIORITY, IDM_KILL, IDM_SWITCHTO,
                        IDM_BRINGTOFRONT, IDM_INFO})
        EXPECT_TRUE(MenuEnabled(command)) << command;
    EXPECT_TRUE(ButtonEnabled(IDM_KILL));
    EXPECT_TRUE(ButtonEnabled(IDM_MEMORY));
    EXPECT_EQ(RecordAt(0)->path[0] != '\0', MenuEnabled(IDM_OPENLOCATION));
    EXPECT_FALSE(StatusText().empty());
    EXPECT_NE(StatusText(), count);
    EXPECT_EQ(StatusText(1), count) << "the count keeps its own part";

    // Several rows at once; the focused one stays the chosen process.
    EXPECT_FALSE(GetWindowLongA(g_processList, GWL_STYLE) & LVS_SINGLESEL);
    LVITEMA second = {};
    second.stateMask = second.state = LVIS_SELECTED;
    SendMessageA(g_processList, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&second));
    NMHDR click = {g_processList, static_cast<UINT_PTR>(kProcessListId), static_cast<UINT>(NM_CLICK)};
    SendMessageA(window, WM_NOTIFY, kProcessListId, reinterpret_cast<LPARAM>(&click));
    Pump();
    EXPECT_EQ(StatusText(), "2 processes selected");
    EXPECT_EQ(RecordAt(0), SelectedRecord());
    EXPECT_TRUE(MenuEnabled(IDM_KILL));

    // A 16-bit task inside a virtual DOS machine: kill and switch, but no process views.
    ProcessRecord task = {};
    task.id = 0x7FFF0001;
    task.parentId = RecordAt(0)->id;
    task.kind = KindTask16;
    lstrcpyA(task.name, "  TASK16.EXE");
    ASSERT_EQ(AddOrUpdateProcess(&task), 1);
    ShowRows(g_processList);
    const int taskRow = RowOf(FindProcessRecord(task.id, KindTask16));
    ASSERT_GE(taskRow, 0);
    Select(taskRow);
    for (int command : {IDM_KILL, IDM_SWITCHTO, IDM_BRINGTOFRONT, IDM_INFO})
        EXPECT_TRUE(MenuEnabled(command)) << command;
    for (int command : {IDM_THREADS, IDM_MODULES, IDM_MEMORY, IDM_PRIORITY, IDM_OPENLOCATION})
        EXPECT_FALSE(MenuEnabled(command)) << command;
    EXPECT_FALSE(ButtonEnabled(IDM_THREADS));
    EXPECT_TRUE(ButtonEnabled(IDM_KILL));

    // A pass that no longer sees the task keeps its row, ended and still selected, out of the
    // count; with ended processes not highlighted the next pass drops the row and returns to the
    // no-selection state.
    const int shown = RowCount();
    g_settings.highlightEnded = true;
    SendMessageA(window, WM_COMMAND, IDM_REFRESH, 0);
    ASSERT_NE(FindProcessRecord(task.id, KindTask16), nullptr);
    EXPECT_TRUE(FindProcessRecord(task.id, KindTask16)->flags & RecordEnded);
    EXPECT_EQ(taskRow, RowOf(SelectedRecord()));
    EXPECT_EQ(StatusText(1), std::to_string(shown - 1) + " Process(es)");
    SendMessageA(window, WM_COMMAND, IDM_HIGHLIGHTENDED, 0);
    EXPECT_FALSE(g_settings.highlightEnded);
    EXPECT_FALSE(GetMenuState(GetMenu(window), IDM_HIGHLIGHTENDED, MF_BYCOMMAND) & MF_CHECKED);
    SendMessageA(window, WM_COMMAND, IDM_REFRESH, 0);
    EXPECT_EQ(FindProcessRecord(task.id, KindTask16), nullptr);
    EXPECT_FALSE(MenuEnabled(IDM_KILL));
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(StatusText(1), std::to_string(RowCount()) + " Process(es)");
}

// Every command is one row of the command table: each menu item has a row, a row's menu item is
// there exactly where the command exists, its check mark shows its option, and the toolbar holds
// the rows' buttons in their order, enabled as the rows say with nothing selected.
TEST_F(MainWindow, MenuAndToolbarFollowTheCommandTable)
{
    int count = 0;
    const MainCommand *rows = MainCommands(&count);
    auto rowOf = [&](int command) -> const MainCommand * {
        for (int i = 0; i < count; ++i)
            if (rows[i].command == command)
                return &rows[i];
        return nullptr;
    };
    HMENU menu = GetMenu(window);
    std::vector<HMENU> popups = {menu};
    for (size_t p = 0; p < popups.size(); ++p)
        for (int i = 0; i < GetMenuItemCount(popups[p]); ++i) {
            if (HMENU sub = GetSubMenu(popups[p], i)) {
                popups.push_back(sub);
            } else if (const UINT id = GetMenuItemID(popups[p], i); id != 0) {
                EXPECT_NE(nullptr, rowOf(static_cast<int>(id))) << id;
            }
        }
    std::vector<int> buttons;
    for (int i = 0; i < count; ++i) {
        const MainCommand &row = rows[i];
        const UINT state = GetMenuState(menu, row.command, MF_BYCOMMAND);
        if (row.inMenu) {
            EXPECT_EQ(CommandPresent(row), state != static_cast<UINT>(-1)) << row.command;
        }
        if (row.checked && state != static_cast<UINT>(-1)) {
            EXPECT_EQ(row.checked(row.command), (state & MF_CHECKED) != 0) << row.command;
        }
        if (row.image < 0)
            continue;
        buttons.push_back(row.command);
        EXPECT_EQ(row.need == NeedNothing, ButtonEnabled(row.command)) << row.command;
    }
    std::vector<int> shown;
    for (int i = 0; i < SendMessageA(g_toolbar, TB_BUTTONCOUNT, 0, 0); ++i) {
        TBBUTTON button = {};
        SendMessageA(g_toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        if (!(button.fsStyle & TBSTYLE_SEP))
            shown.push_back(button.idCommand);
    }
    EXPECT_EQ(buttons, shown);
}

// The list has the focus at start; a dialog hands it back to the control that had it; Down in
// the filter box moves it to the list with the first shown row selected.
TEST_F(MainWindow, FocusStartsInTheListComesBackAfterADialogAndDownLeavesTheFilterBox)
{
    SetForegroundWindow(window);
    Pump();
    EXPECT_EQ(g_processList, GetFocus());
    SendMessageA(window, WM_COMMAND, IDM_FILTER, 0);
    ASSERT_EQ(FilterBox(), GetFocus());
    EXPECT_TRUE(kvtest::WhileShown("KELVANEDLG", 0, [&] { SendMessageA(window, WM_COMMAND, IDM_ABOUT, 0); },
                                   [](HWND dialog) { SendMessageA(dialog, WM_CLOSE, 0, 0); }));
    Pump();
    EXPECT_EQ(FilterBox(), GetFocus());

    Select(-1);
    SendMessageA(FilterBox(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(g_processList, GetFocus());
    EXPECT_EQ(RecordAt(0), SelectedRecord());
    EXPECT_TRUE(MenuEnabled(IDM_KILL));
}

// Ctrl+F, typing, a refresh with a new match, then Escape, through the window's own messages.
TEST_F(MainWindow, FilterBoxFiltersAfterThePauseCountsAndEscapeRestoresEveryRow)
{
    kvtest::ChildProcess one, two, three;
    ASSERT_TRUE(one.Start("kvtest_box_one.exe"));
    ASSERT_TRUE(two.Start("kvtest_box_two.exe"));
    SendMessageA(window, WM_COMMAND, IDM_REFRESH, 0);
    const int rows = RowCount();

    SetForegroundWindow(window);
    SendMessageA(window, WM_COMMAND, IDM_FILTER, 0);
    EXPECT_EQ(FilterBox(), GetFocus());
    SetWindowTextW(FilterBox(), L"Box_"); // read back in Unicode on the NT family
    EXPECT_EQ(rows, RowCount()); // not before the pause
    ASSERT_TRUE(kvtest::PumpUntil([] { return SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0) == 2; }, 3000));
    EXPECT_EQ(StatusText(1), "2 of " + std::to_string(rows) + " processes");

    // While the box has the focus, letters and Ctrl+C edit; F5 still refreshes.
    MSG key = {FilterBox(), WM_KEYDOWN, 'C', 0, 0, {0, 0}};
    EXPECT_TRUE(FilterBoxKeepsKey(key));
    key.wParam = VK_F5;
    EXPECT_FALSE(FilterBoxKeepsKey(key));

    ASSERT_TRUE(three.Start("kvtest_box_three.exe"));
    SendMessageA(window, WM_COMMAND, IDM_REFRESH, 0);
    EXPECT_EQ(3, RowCount());
    EXPECT_EQ(StatusText(1), "3 of " + std::to_string(rows + 1) + " processes");

    SendMessageA(FilterBox(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(rows + 1, RowCount());
    EXPECT_EQ(StatusText(1), std::to_string(rows + 1) + " Process(es)");
    EXPECT_EQ(g_processList, GetFocus());
    EXPECT_EQ(kvtest::WindowText(FilterBox()), "");

    // A process asked for by its identifier shows: the filter that hid it is emptied, a closed
    // branch above it opened.
    const auto selected = [] { return SelectedRecord() ? SelectedRecord()->id : 0; };
    SetWindowTextW(FilterBox(), L"Box_");
    ASSERT_TRUE(kvtest::PumpUntil([] { return SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0) == 3; }, 3000));
    EXPECT_TRUE(SelectProcessById(GetCurrentProcessId()));
    EXPECT_EQ(rows + 1, RowCount());
    EXPECT_EQ(GetCurrentProcessId(), selected());
    SendMessageA(window, WM_COMMAND, IDM_TREEVIEW, 0);
    SetCollapsed(FindProcessRecord(GetCurrentProcessId(), KindProcess), true);
    ShowMainRows();
    EXPECT_EQ(rows - 2, RowCount());
    EXPECT_TRUE(SelectProcessById(two.Id()));
    EXPECT_EQ(two.Id(), selected());
    EXPECT_EQ(rows + 1, RowCount());

    // The tree's keys on this process's branch: Left closes it, Right opens it, Right again goes
    // to its first child, Left from there back up; a click on its glyph closes it.
    const auto press = [](WPARAM key) {
        SendMessageA(g_processList, WM_KEYDOWN, key, 0);
        Pump();
    };
    ASSERT_TRUE(SelectProcessById(GetCurrentProcessId()));
    press(VK_LEFT);
    EXPECT_EQ(rows - 2, RowCount());
    press(VK_RIGHT);
    EXPECT_EQ(rows + 1, RowCount());
    press(VK_RIGHT);
    EXPECT_EQ(one.Id(), selected()); // the first by name
    press(VK_LEFT);
    EXPECT_EQ(GetCurrentProcessId(), selected());
    RECT glyph;
    ASSERT_TRUE(TreeGlyphCell(g_processList, RowOf(SelectedRecord()), &glyph));
    const LPARAM middle = MAKELPARAM((glyph.left + glyph.right) / 2, (glyph.top + glyph.bottom) / 2);
    SendMessageA(g_processList, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    Pump();
    EXPECT_EQ(rows - 2, RowCount());
    SendMessageA(window, WM_COMMAND, IDM_TREEVIEW, 0);
}

// Space in the list pauses the timer's refresh and says so in the status bar; F5 still refreshes
// once; a Space that continues a type-ahead search does not pause; Space again resumes. The
// Refresh Speed items set the main interval and check the one in use.
TEST_F(MainWindow, SpacePausesTheRefreshAndSpeedItemsSetTheInterval)
{
    const auto key = [&](WORD vk) {
        NMLVKEYDOWN down = {};
        down.hdr = {g_processList, static_cast<UINT_PTR>(kProcessListId), static_cast<UINT>(LVN_KEYDOWN)};
        down.wVKey = vk;
        SendMessageA(window, WM_NOTIFY, kProcessListId, reinterpret_cast<LPARAM>(&down));
        Pump();
    };
    const auto shows = [](const kvtest::ChildProcess &child) {
        const ProcessRecord *record = FindProcessRecord(child.Id(), KindProcess);
        return record && RowOf(record) >= 0;
    };
    const auto tick = [&] { SendMessageA(window, WM_TIMER, kMainTimerId, 0); };
    const auto checked = [&](int command) {
        return (GetMenuState(GetMenu(window), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };

    const auto parts = [] { return SendMessageA(g_statusBar, SB_GETPARTS, 0, 0); };
    const LRESULT running = parts();
    key(VK_SPACE);
    EXPECT_TRUE(checked(IDM_PAUSEREFRESH));
    EXPECT_EQ(running + 1, parts());
    EXPECT_EQ(StatusText(2), "Paused");
    kvtest::ChildProcess one, two;
    ASSERT_TRUE(one.Start("kvtest_pause_one.exe"));
    tick();
    EXPECT_FALSE(shows(one));
    SendMessageA(window, WM_COMMAND, IDM_REFRESH, 0);
    EXPECT_TRUE(shows(one)) << "F5 while paused";
    ASSERT_TRUE(two.Start("kvtest_pause_two.exe"));
    tick();
    EXPECT_FALSE(shows(two));

    key('K'); // a search for "K..." is under way: its Space is a character of the name
    key(VK_SPACE);
    EXPECT_TRUE(checked(IDM_PAUSEREFRESH));
    Sleep(2 * GetDoubleClickTime() + 50);
    key(VK_SPACE);
    EXPECT_FALSE(checked(IDM_PAUSEREFRESH));
    tick();
    EXPECT_TRUE(shows(two));
    EXPECT_EQ(running, parts()) << "the refresh-state part is gone";

    g_settings.mainRefresh = 2;
    for (int command : {IDM_SPEED10, IDM_SPEED1, IDM_SPEED5}) {
        SendMessageA(window, WM_COMMAND, command, 0);
        for (int item : {IDM_SPEED1, IDM_SPEED2, IDM_SPEED5, IDM_SPEED10})
            EXPECT_EQ(item == command, checked(item)) << command << " " << item;
    }
    EXPECT_EQ(5, g_settings.mainRefresh);
    g_settings.mainRefresh = 2; // as the Set Refresh Times dialog leaves it
    SendMessageA(window, WM_INITMENUPOPUP, 0, 0);
    EXPECT_TRUE(checked(IDM_SPEED2));
    EXPECT_FALSE(checked(IDM_SPEED5));
}

// The restart with administrator rights is offered for a limited token only; the new instance
// replaces the window that started it, and no other.
TEST_F(MainWindow, AllUsersOfferedForALimitedTokenAndOnlyTheWaitingWindowIsTakenOver)
{
    TokenFunctions();
    const TokenApi saved = g_tokenApi;
    g_tokenApi.OpenProcessToken = FakeOpenProcessToken;
    g_tokenApi.GetTokenInformation = FakeGetTokenInformation;
    // Limited, full (elevated), default (no split token), before Windows Vista, Windows 95.
    const struct {
        DWORD type;
        bool bound;
        bool offered;
    } kTokens[] = {{3, true, true}, {2, true, false}, {1, true, false}, {0, true, false}, {3, false, false}};
    for (const auto &token : kTokens) {
        g_elevationType = token.type;
        g_tokenApi.GetTokenInformation = token.bound ? FakeGetTokenInformation : nullptr;
        HMENU menu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_MAINMENU));
        OfferAllUsers(menu);
        EXPECT_EQ(token.offered, GetMenuState(menu, IDM_ALLUSERS, MF_BYCOMMAND) != static_cast<UINT>(-1))
            << token.type << " " << token.bound;
        DestroyMenu(menu);
    }
    g_tokenApi = saved;

    // The switch counts only as the whole first argument, with a window and a key.
    const std::string handle = std::to_string(reinterpret_cast<ULONG_PTR>(window));
    TakeoverClaim claim;
    ASSERT_TRUE(ParseTakeoverSwitch(("\"C:\\a b\\kelvane.exe\"  /takeover:" + handle + ":77").c_str(), &claim));
    EXPECT_EQ(window, claim.window);
    EXPECT_EQ(77u, claim.key);
    for (const std::string &line : std::vector<std::string>{"kelvane.exe", "kelvane.exe /takeover:", "kelvane.exe /takeover:" + handle,
          "kelvane.exe /takeover:" + handle + ":", "kelvane.exe /takeover:" + handle + ":0",
          "kelvane.exe /takeover:" + handle + ":4294967296", "kelvane.exe /takeover:" + handle + ":7x",
          "kelvane.exe /takeover:99999999999999999999999:1", "kelvane.exe x/takeover:" + handle + ":7",
          "kelvane.exe /x /takeover:" + handle + ":7", "\"kelvane.exe /takeover:" + handle + ":7\""})
        EXPECT_FALSE(ParseTakeoverSwitch(line.c_str(), &claim)) << line;

    // Only a main window that waits for a restart, and for that restart's key, confirms a
    // claim: a forged switch falls back to the single-instance rule. While it waits, the
    // command cannot start a second restart.
    char savedClass[MAX_PATH];
    lstrcpyA(savedClass, g_className);
    lstrcpyA(g_className, "KelvaneTestMain");
    auto confirmed = [](HWND named, DWORD key) {
        const std::string line = "kelvane.exe /takeover:" +
                                 std::to_string(reinterpret_cast<ULONG_PTR>(named)) + ":" + std::to_string(key);
        return ConfirmedTakeover(line.c_str()).window;
    };
    g_tokenApi.OpenProcessToken = FakeOpenProcessToken;
    g_tokenApi.GetTokenInformation = FakeGetTokenInformation;
    g_elevationType = 3;
    HMENU menu = GetMenu(window);
    OfferAllUsers(menu);
    g_tokenApi = saved;
    auto commandEnabled = [&] { return !(GetMenuState(menu, IDM_ALLUSERS, MF_BYCOMMAND) & MF_GRAYED); };
    const DWORD key = 0x5eed;
    EXPECT_EQ(nullptr, confirmed(window, key)) << "not waiting";
    ASSERT_TRUE(AwaitTakeover(window, key));
    EXPECT_FALSE(commandEnabled());
    EXPECT_EQ(window, confirmed(window, key));
    EXPECT_EQ(nullptr, confirmed(window, key + 1)) << "another key";
    EXPECT_EQ(nullptr, confirmed(g_statusBar, key)) << "not a main window";
    SendMessageA(window, WM_TAKENOVER, 0, key + 1);
    EXPECT_TRUE(IsWindow(window)) << "a wrong key does not end the window";
    EndTakeoverWait(window);
    EXPECT_TRUE(commandEnabled());
    EXPECT_EQ(nullptr, confirmed(window, key)) << "the wait is over";
    SendMessageA(window, WM_TAKENOVER, 0, key);
    EXPECT_TRUE(IsWindow(window));
    ASSERT_TRUE(AwaitTakeover(window, key));
    SendMessageA(window, WM_TAKENOVER, 0, key);
    EXPECT_FALSE(IsWindow(window)) << "the new instance took over";
    lstrcpyA(g_className, savedClass);
}

TEST_F(MainWindow, ResizingAndDpiChangesLayOutToolbarListAndStatusBar)
{
    SetWindowPos(window, nullptr, 0, 0, 700, 450, SWP_NOMOVE | SWP_NOZORDER);
    RECT client, bar, list, status;
    GetClientRect(window, &client);
    auto childRect = [&](HWND child, RECT *r) {
        GetWindowRect(child, r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(r), 2);
    };
    childRect(g_toolbar, &bar);
    childRect(g_processList, &list);
    childRect(g_statusBar, &status);
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.right - bar.left, client.right);
    EXPECT_EQ(list.top, bar.bottom - 1);
    EXPECT_EQ(list.bottom, status.top);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(list.right - list.left, client.right);
    EXPECT_EQ(g_settings.windowWidth, 700);
    EXPECT_EQ(g_settings.windowHeight, 450);

    // Maximised sizes are not remembered.
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_EQ(g_settings.windowWidth, 700);
    ShowWindow(window, SW_RESTORE);

    // A DPI change without its rectangle is none the system sent; a DPI no screen has is taken
    // within reason, and the graphs of the status bar and of the view still draw and end.
    const UINT dpiChanged = 0x02E0;
    std::vector<int> widths;
    for (int i = 0; i < g_columnCount; ++i)
        widths.push_back(g_columns[i].width);
    const int dpi = g_screenDpi;
    SendMessageA(window, dpiChanged, MAKEWPARAM(3, 3), 0);
    EXPECT_EQ(g_screenDpi, dpi);
    RECT suggested = {10, 10, 610, 410};
    SendMessageA(window, dpiChanged, MAKEWPARAM(3, 3), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(g_screenDpi, kMinDpi);
    RedrawWindow(g_statusBar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    const RECT graph = {0, 0, 60, 40};
    DrawHistoryGraph(dc, graph, GraphCpu, 3, 3);
    ReleaseDC(window, dc);
    for (int i = 0; i < g_columnCount; ++i)
        g_columns[i].width = widths[i]; // halved and doubled, odd widths would grow
}

TEST_F(MainWindow, TrayHidesOnMinimiseAndCloseAndRestoresWithOneIcon)
{
    g_settings.useSysTray = true;
    g_settings.mainRefresh = 2;
    SetMainTimer(TRUE);
    EXPECT_TRUE(TrayIconShown());
    EXPECT_TRUE(MainTimerRunning());

    for (WPARAM command : {SC_MINIMIZE, SC_CLOSE}) {
        SendMessageA(window, WM_SYSCOMMAND, command, 0);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(MainTimerRunning());
        SendMessageA(window, WM_COMMAND, IDM_OPEN, 0); // tray menu "Open Process Window"
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_TRUE(MainTimerRunning());
        EXPECT_TRUE(TrayIconShown());
    }

    // A re-created notification area gets the icon again.
    SendMessageA(window, TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(TrayIconShown());

    // With no main interval, coming back starts no timer.
    g_settings.mainRefresh = 0;
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(window, WM_TRAYEVENT, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(MainTimerRunning());

    // Exit removes the icon and saves.
    SendMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(TrayIconShown());
}

TEST_F(MainWindow, WithoutTrayRestoringStartsTheRefreshAndCloseEndsTheWindow)
{
    g_settings.useSysTray = false;
    g_settings.mainRefresh = 1;
    // As a minimised start without the tray leaves it: minimised, no timer.
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SetMainTimer(FALSE);
    ASSERT_TRUE(IsIconic(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(MainTimerRunning());

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(IsWindow(window));
}

// File > Run: a line the shell cannot open is refused with the system's reason and the dialog
// stays for another try; a program with arguments starts and is remembered first, the stored
// history read back bounded and cleaned of bad entries.
TEST_F(MainWindow, RunStartsACommandWithArgumentsAndNamesTheReasonOfAFailure)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    std::string history;
    for (int i = 0; i < 14; ++i)
        history += "old" + std::to_string(i % 12) + (i == 3 ? "\n\n" : "\n");
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, "RunHistory", 0, REG_SZ, reinterpret_cast<const BYTE *>(history.data()),
                   static_cast<DWORD>(history.size())); // no terminating zero
    RegCloseKey(key);

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string record = std::string(folder) + "kv_run_record.txt";
    DeleteFileA(record.c_str());
    const std::string good = "\"" + kvtest::BesideTests("kvchild.exe") + "\" --record " + record +
                             " --lifetime 0";
    const auto entries = [](HWND dialog) {
        std::vector<std::string> lines;
        HWND combo = GetDlgItem(dialog, IDC_RUN_COMMAND);
        for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
            char text[kRunMaxChars + 1] = "";
            if (SendMessageA(combo, CB_GETLBTEXTLEN, i, 0) <= kRunMaxChars)
                SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            lines.push_back(text);
        }
        return lines;
    };
    const std::vector<std::string> bad = {"", "   ", "\"unclosed", "\"\" x",
                                          "C:\\kv_nowhere\\missing.exe --flag",
                                          std::string(2000, 'x')};
    std::vector<std::string> before, after;
    const HWND shown = kvtest::WhileShown("KELVANEDLG", IDC_RUN_COMMAND,
        [&] { SendMessageA(window, WM_COMMAND, IDM_RUN, 0); },
        [&](HWND dialog) {
            before = entries(dialog);
            for (const std::string &line : bad) {
                SCOPED_TRACE(line.substr(0, 40));
                SetDlgItemTextA(dialog, IDC_RUN_COMMAND, line.c_str());
                std::string message;
                kvtest::WhileShown("#32770", IDOK,
                    [&] { SendMessageA(dialog, WM_COMMAND, IDOK, 0); },
                    [&](HWND box) {
                        char text[4096] = "";
                        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                        message = text;
                        PostMessageA(box, WM_COMMAND, IDOK, 0);
                    });
                const size_t reason = message.find(":\n");
                ASSERT_NE(std::string::npos, reason) << message;
                EXPECT_LT(reason + 3, message.size()) << "a reason follows: " << message;
                EXPECT_TRUE(IsWindow(dialog));
            }
            SetDlgItemTextA(dialog, IDC_RUN_COMMAND, good.c_str());
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
    ASSERT_NE(nullptr, shown);
    EXPECT_FALSE(IsWindow(shown)) << "a command that started ends the dialog";
    EXPECT_TRUE(kvtest::PumpUntil(
        [&] { return GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000));
    Sleep(200);
    std::string recorded;
    if (FILE *file = std::fopen(record.c_str(), "r")) {
        char text[4096] = "";
        recorded = std::fgets(text, sizeof text, file) ? text : "";
        std::fclose(file);
    }
    EXPECT_NE(std::string::npos, recorded.find("--record")) << recorded;
    DeleteFileA(record.c_str());

    kvtest::WhileShown("KELVANEDLG", IDC_RUN_COMMAND,
        [&] { SendMessageA(window, WM_COMMAND, IDM_RUN, 0); },
        [&](HWND dialog) {
            after = entries(dialog);
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i)
        expected.push_back("old" + std::to_string(i));
    EXPECT_EQ(expected, before);
    expected.insert(expected.begin(), good);
    expected.pop_back();
    EXPECT_EQ(expected, after);
}
