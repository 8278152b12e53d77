// The Options submenu driven on a window with the program's menu: check marks and settings, the
// Startup-folder shortcut written for real, the refresh-times dialog answered from inside, and the
// access letters of every menu popup.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>

#include "app/mainwnd.h"
#include "app/tray.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "providers/fill.h"
#include "resource.h"
#include "settings/options.h"

namespace {

// The host list, filled once and given the program's menu, stands in for the main window.
class Options : public testing::Test {
protected:
    void SetUp() override
    {
        g_settings = Settings();
        ASSERT_TRUE(kvtest::PrepareViews());
        host = std::make_unique<kvtest::ListHost>();
        window = g_mainWindow = GetParent(host->List());
        SetMenu(window, LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_MAINMENU)));
        RefreshProcessList(host->List());
        ShowStartupShortcutState(GetMenu(window));
    }
    void TearDown() override
    {
        SetTrayIcon(FALSE);
        SetMainTimer(FALSE);
        host.reset(); // the menu goes with the window
        g_mainWindow = savedMain;
        g_settings = savedSettings;
    }
    bool Checked(int command) const
    {
        return (GetMenuState(GetMenu(window), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    void Command(int command) const
    {
        (command == IDM_LOADATSTARTUP ? OnLoadAtStartup : OnBooleanOption)(window, command, 0, 0);
    }

    std::unique_ptr<kvtest::ListHost> host;
    HWND window = nullptr;
    HWND savedMain = g_mainWindow;
    Settings savedSettings = g_settings;
};

TEST_F(Options, TogglesMoveCheckMarksSettingsTrayAndIdBase)
{
    EXPECT_TRUE(Checked(IDM_USESYSTRAY));
    for (int command : {IDM_STARTMINIMIZED, IDM_MULTIINSTANCES, IDM_HEXPID, IDM_LOADATSTARTUP})
        EXPECT_FALSE(Checked(command)) << command;

    const struct { int command; bool *setting; } toggles[] = {
        {IDM_STARTMINIMIZED, &g_settings.startMinimized}, {IDM_USESYSTRAY, &g_settings.useSysTray},
        {IDM_MULTIINSTANCES, &g_settings.allowMultiplyInstances}, {IDM_HEXPID, &g_settings.hexProcessId}};
    for (const auto &toggle : toggles) {
        for (int round = 0; round < 2; ++round) {
            const bool before = *toggle.setting;
            Command(toggle.command);
            EXPECT_NE(*toggle.setting, before) << toggle.command;
            EXPECT_EQ(Checked(toggle.command), *toggle.setting) << toggle.command;
            if (toggle.command == IDM_USESYSTRAY) {
                EXPECT_EQ(TrayIconShown(), g_settings.useSysTray);
            }
        }
    }

    // The ID column switches base without a refresh.
    ASSERT_GT(SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0), 0);
    char text[32], expected[32];
    Command(IDM_HEXPID);
    ListView_GetItemText(g_processList, 0, 1, text, sizeof text);
    wsprintfA(expected, "%x", static_cast<unsigned>(RecordAt(0)->id));
    EXPECT_STREQ(text, expected);
}

TEST_F(Options, StartupShortcutIsMadeAndRemovedAndTheMarkFollowsTheFile)
{
    char folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, TRUE));
    const std::string path = std::string(folder) + "\\Kelvane.lnk", kept = path + ".kept";
    const bool hadOne = MoveFileA(path.c_str(), kept.c_str()) != FALSE;

    Command(IDM_LOADATSTARTUP);
    EXPECT_TRUE(Checked(IDM_LOADATSTARTUP));
    EXPECT_TRUE(StartupShortcutExists());
    // What the link holds, read back through the shell.
    char target[MAX_PATH] = "", description[MAX_PATH] = "", self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    IPersistFile *file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetDescription(description, MAX_PATH);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    EXPECT_EQ(lstrcmpiA(target, self), 0) << target;
    EXPECT_STREQ(description, "Kelvane");

    Command(IDM_LOADATSTARTUP);
    EXPECT_FALSE(Checked(IDM_LOADATSTARTUP));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    // A shortcut that cannot be written (a folder holds its name) does not show as made.
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    Command(IDM_LOADATSTARTUP);
    EXPECT_FALSE(Checked(IDM_LOADATSTARTUP));
    RemoveDirectoryA(path.c_str());

    if (hadOne)
        MoveFileA(kept.c_str(), path.c_str());
}

TEST_F(Options, RefreshTimesDialogStoresOnOkOnly)
{
    g_settings.threadRefresh = 4;
    SetMainTimer(TRUE);
    ASSERT_TRUE(MainTimerRunning());
    const Settings before = g_settings;
    auto open = [&](const std::function<void(HWND)> &act) {
        return kvtest::WhileShown("KELVANEDLG", IDC_REFRESH_MAIN,
                                  [&] { OnRefreshTimes(window, IDM_REFRESHTIMES, 0, 0); }, act);
    };

    // Cancel and the close box keep every interval.
    for (UINT close : {WM_COMMAND, WM_CLOSE}) {
        EXPECT_NE(open([&](HWND dialog) {
            EXPECT_EQ(kvtest::WindowText(GetDlgItem(dialog, IDC_REFRESH_MAIN)), "2");
            EXPECT_EQ(kvtest::WindowText(GetDlgItem(dialog, IDC_REFRESH_THREAD)), "4");
            SetDlgItemTextA(dialog, IDC_REFRESH_MODULE, "9");
            SendMessageA(dialog, close, IDCANCEL, 0);
        }), nullptr);
        EXPECT_EQ(g_settings.moduleRefresh, before.moduleRefresh);
    }

    // OK stores all four; a main interval of 0 stops the main timer at once.
    open([&](HWND dialog) {
        HWND thread = GetDlgItem(dialog, IDC_REFRESH_THREAD);
        SendMessageA(thread, WM_KEYDOWN, VK_UP, 0); // up steps the up-down control up
        SetDlgItemTextA(dialog, IDC_REFRESH_MAIN, "0");
        SetDlgItemTextA(dialog, IDC_REFRESH_MODULE, "12");
        SetDlgItemTextA(dialog, IDC_REFRESH_MEMORY, "250");
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(g_settings.mainRefresh, 0);
    EXPECT_EQ(g_settings.threadRefresh, 5);
    EXPECT_EQ(g_settings.moduleRefresh, 12);
    EXPECT_EQ(g_settings.memoryRefresh, 250);
    EXPECT_FALSE(MainTimerRunning());
}

// Each popup, the menu bar included, gives every item its own Alt+letter ("&&" is an ampersand).
void ExpectDistinctLetters(HMENU menu, const std::string &where)
{
    std::map<char, std::string> taken;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        const char *amp = text;
        while ((amp = strchr(amp, '&')) && amp[1] == '&')
            amp += 2;
        if (amp && amp[1]) {
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(amp[1])));
            const auto [first, added] = taken.emplace(letter, text);
            EXPECT_TRUE(added) << where << ": \"" << first->second << "\" and \"" << text << '"';
        }
        if (HMENU popup = GetSubMenu(menu, i))
            ExpectDistinctLetters(popup, where + " > " + text);
    }
}

TEST(MenuTexts, EveryPopupGivesEachItemItsOwnAccessLetter)
{
    for (int id : {IDR_MAINMENU, IDR_TRAYMENU}) {
        HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
        ASSERT_NE(menu, nullptr);
        ExpectDistinctLetters(menu, std::to_string(id));
        DestroyMenu(menu);
    }
}

} // namespace
