// Kill, Notify and Switch to run for real from their commands against child processes, and the
// window search that picks which window of a process to act on.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "actions/kill.h"
#include "actions/switchto.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"

namespace {

RECT RectIn(HWND dialog, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

// The warning shows all of its text in the dialog's font, and the question and the buttons
// stand below it, inside the dialog.
void ExpectWarningFits(HWND dialog)
{
    HWND warning = GetWindow(GetDlgItem(dialog, IDC_KILL_QUESTION), GW_HWNDPREV);
    const std::string text = kvtest::WindowText(warning);
    ASSERT_EQ(0u, text.find("WARNING: Killing a process"));
    HDC dc = GetDC(warning);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    RECT client, needed = {};
    GetClientRect(warning, &client);
    needed.right = client.right;
    DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    ReleaseDC(warning, dc);
    EXPECT_LE(needed.bottom, client.bottom);

    RECT inside;
    GetClientRect(dialog, &inside);
    const RECT question = RectIn(dialog, GetDlgItem(dialog, IDC_KILL_QUESTION));
    EXPECT_GE(question.top, RectIn(dialog, warning).bottom);
    for (int button : {IDOK, IDCANCEL, IDC_KILL_NOTIFY}) {
        const RECT rect = RectIn(dialog, GetDlgItem(dialog, button));
        EXPECT_GE(rect.top, question.bottom) << button;
        EXPECT_LE(rect.bottom, inside.bottom) << button;
    }
}

class KillTest : public kvtest::ViewTest {
protected:
    KillTest() : ViewTest(OnKillCommand) {}
    // Runs the Kill command and ends its dialog with `command`, after `look` saw it.
    std::string Answer(UINT message, WPARAM command,
                       const std::function<void(HWND)> &look = [](HWND) {})
    {
        std::string question;
        kvtest::RunMainCommand(
            *host_, OnKillCommand,
            [&](HWND dialog) {
                question = kvtest::WindowText(GetDlgItem(dialog, IDC_KILL_QUESTION));
                look(dialog);
                SendMessageA(dialog, message, command, 0);
            },
            IDC_KILL_QUESTION);
        return question;
    }
    bool Running() { return WaitForSingleObject(child_.Handle(), 0) == WAIT_TIMEOUT; }
};

TEST_F(KillTest, CancelAndCloseLeaveTheProcessKillEndsItAndDropsItsRow)
{
    ASSERT_TRUE(child_.Start("kvtest_kill.exe"));
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    ProcessRecord stale = {};
    stale.id = 0x7ffffff0; // gone at the next refresh
    lstrcpyA(stale.name, "stale.exe");
    AddOrUpdateProcess(&stale);
    ShowRows(host_->List());

    // Kill is the one default button: Enter kills, never the gentler Notify.
    const auto look = [](HWND dialog) {
        ExpectWarningFits(dialog);
        EXPECT_EQ(IDOK, LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)));
        EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, IDC_KILL_NOTIFY), GWL_STYLE) & BS_DEFPUSHBUTTON);
    };
    EXPECT_EQ("'KVTEST_KILL.EXE' (" + std::to_string(child_.Id()) + ")?",
              Answer(WM_COMMAND, IDCANCEL, look));
    Answer(WM_CLOSE, 0);
    EXPECT_TRUE(Running());
    EXPECT_GE(host_->FindRow(stale.id), 0); // no refresh either

    Answer(WM_COMMAND, IDOK);
    EXPECT_FALSE(Running()); // waited for before the refresh
    // The refresh after it marks the row ended (it leaves a moment later), or drops it at once
    // where ended processes are not highlighted.
    const int row = host_->FindRow(child_.Id());
    EXPECT_TRUE(row < 0 || (host_->RecordOfRow(row)->flags & RecordEnded)) << row;
}

// Three selected, the focused one the chosen process; one Yes ends both running ones, and the one
// that had ended is named in the one message that follows.
TEST_F(KillTest, SeveralSelectedEndAfterOneYesAndAnEndedOneIsNamedOnce)
{
    kvtest::ChildProcess other;
    ASSERT_TRUE(child_.Start("kvtest_kill.exe"));
    ASSERT_TRUE(other.Start("kvtest_kill_two.exe"));
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    ProcessRecord ended = {};
    ended.id = 0x7ffffff0; // no process has it
    lstrcpyA(ended.name, "ended.exe");
    AddOrUpdateProcess(&ended);
    ShowRows(host_->List());
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED;
    for (DWORD id : {child_.Id(), ended.id})
        SendMessageA(host_->List(), LVM_SETITEMSTATE, host_->FindRow(id), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(host_->List(), LVM_SETITEMSTATE, host_->FindRow(other.Id()), reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(other.Id(), GetSelectedProcess(host_->List(), nullptr, 0));

    std::vector<std::string> shown;
    const HWND savedMain = g_mainWindow;
    g_mainWindow = GetParent(host_->List());
    kvtest::DriveModal([&] { OnKillCommand(g_mainWindow, 0, 0, 0); },
                       {{"#32770", 0, [&](HWND box) {
                             char text[2048] = "";
                             GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                             shown.push_back(text);
                             SendMessageA(box, WM_COMMAND, GetDlgItem(box, IDYES) ? IDYES : IDOK, 0);
                         }}},
                       kvtest::kAnswerEvery);
    g_mainWindow = savedMain;
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(0u, shown[0].find("Kill these 3 processes?"));
    EXPECT_NE(std::string::npos, shown[0].find("kvtest_kill_two.exe (" + std::to_string(other.Id()) + ")"));
    EXPECT_EQ("'ended.exe' (2147483632) has ended; nothing was done to it.", shown[1]);
    EXPECT_FALSE(Running());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.Handle(), 0));
}

// A process with two children and four grandchildren: one Yes ends all seven, and a process
// outside the tree lives on.
TEST_F(KillTest, KillTreeEndsEveryDescendantAndNothingElse)
{
    kvtest::ChildProcess outside;
    ASSERT_TRUE(outside.Start("kvtest_outside.exe"));
    ASSERT_TRUE(child_.Start("kvtest_tree_kill.exe", "--tree 2"));
    const auto treeRecords = [] {
        int count = 0;
        for (const ProcessRecord *record = g_recordHead; record; record = record->next)
            count += lstrcmpiA(record->name, "kvtest_tree_kill.exe") == 0;
        return count;
    };
    ASSERT_TRUE(kvtest::PumpUntil([&] { RefreshProcessList(host_->List()); return treeRecords() == 7; },
                                  10000));
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));

    std::string question;
    const HWND savedMain = g_mainWindow;
    g_mainWindow = GetParent(host_->List());
    kvtest::WhileShown("#32770", 0, [] { OnKillTreeCommand(g_mainWindow, 0, 0, 0); },
                       [&](HWND box) {
                           char text[2048] = "";
                           GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                           question = text;
                           SendMessageA(box, WM_COMMAND, IDYES, 0);
                       });
    g_mainWindow = savedMain;
    EXPECT_EQ(0u, question.find("Kill these 7 processes?"));
    EXPECT_TRUE(kvtest::PumpUntil([&] { RefreshProcessList(host_->List()); return treeRecords() == 0; },
                                  5000));
    EXPECT_FALSE(Running());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(outside.Handle(), 0));
}

using SwitchToTest = KillTest;

TEST_F(SwitchToTest, RestoresAndActivatesTheWindowWhichNotifyThenCloses)
{
    ASSERT_TRUE(child_.Start("kvtest_switch.exe", "--window KvSwitchMe"));
    HWND window = nullptr;
    ASSERT_TRUE(
        kvtest::PumpUntil([&] { return (window = FindWindowA(nullptr, "KvSwitchMe")); }, 5000));
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IsIconic(window));
    OnSwitchToCommand(nullptr, IDM_SWITCHTO, 0, 0);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(kvtest::PumpUntil([&] { return GetForegroundWindow() == window; }, 2000));

    Answer(WM_COMMAND, IDC_KILL_NOTIFY);
    EXPECT_TRUE(kvtest::PumpUntil([&] { return !IsWindow(window); }, 5000));
    EXPECT_TRUE(Running());
}

// Windows of one thread standing in for a 16-bit task, whose windows are matched by thread:
// 0 ordinary, 1 pop-up, 2 minimised, 3 without system menu, 4 hidden, 5 child of windows[6].
DWORD WINAPI ProbeThread(LPVOID param)
{
    HWND *windows = static_cast<HWND *>(param);
    const DWORD styles[] = {WS_OVERLAPPEDWINDOW, WS_POPUP | WS_SYSMENU,
                            WS_OVERLAPPEDWINDOW | WS_MINIMIZE, WS_OVERLAPPED, WS_OVERLAPPEDWINDOW};
    for (int i = 0; i < 5; ++i) // later ones lie above the earlier in z-order
        windows[i] = CreateWindowA("Static", "", styles[i] | (i < 4 ? WS_VISIBLE : 0), 0, 0, 50,
                                   50, nullptr, nullptr, nullptr, nullptr);
    windows[5] = CreateWindowA("Static", "", WS_CHILD | WS_VISIBLE | WS_SYSMENU, 0, 0, 20, 20,
                               windows[6], nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    for (int i = 0; i < 6; ++i)
        DestroyWindow(windows[i]);
    return 0;
}

TEST_F(KillTest, ActivatableWindowPrefersOrdinaryThenPopupThenMinimised)
{
    HWND windows[7] = {};
    // Another thread's window hosting a child of the target: the search looks inside it.
    windows[6] = CreateWindowA("Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr, nullptr, nullptr);
    DWORD thread = 0;
    HANDLE handle = CreateThread(nullptr, 0, ProbeThread, windows, 0, &thread);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return windows[5] != nullptr; }, 5000));
    ProcessRecord task = {};
    task.id = thread;
    task.kind = KindTask16;
    host_->SelectRecord(task);
    for (int expected : {0, 5, 1, 2}) {
        EXPECT_EQ(windows[expected], FindActivatableWindow(RefOf(task))) << expected;
        ShowWindow(windows[expected], SW_HIDE);
    }
    EXPECT_EQ(nullptr, FindActivatableWindow(RefOf(task)));
    PostThreadMessageA(thread, WM_QUIT, 0, 0);
    kvtest::PumpUntil([&] { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }, 5000);
    CloseHandle(handle);
    DestroyWindow(windows[6]);
}

TEST(KillQuestion, UpperCasesSingleByteLettersOnlyAndTheIdOutlastsALongName)
{
    char out[MAX_PATH + 24];
    FormatKillQuestion("\x83\x61z.exe", 12, false, 932, out, sizeof out); // 0x83 0x61: one character
    EXPECT_STREQ("'\x83\x61Z.EXE' (12)?", out);
    FormatKillQuestion("abc.exe", 255, true, CP_ACP, out, 12);
    EXPECT_STREQ("'ABC' (ff)?", out);
}

} // namespace
