// The threads view opened for real from its command, with a real child's threads selected in a
// process list, and driven from inside its modal loop. The view driver defined here is shared
// with the memory view's tests (declared again there).
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/columns.h"
#include "app/mainwnd.h"
#include "app/processlist.h"
#include "app/startup.h"
#include "fixtures.h"
#include "providers/fill.h"
#include "resource.h"
#include "settings/settings.h"
#include "views/threads.h"

namespace kvtest {

// The view driver, shared with test_memory.cpp.
typedef LRESULT (*ViewCommand)(HWND, WPARAM, WORD, LPARAM);
// Detects the family, binds the provider, loads the view titles, registers the dialog class.
bool PrepareViews();
// Refreshes the host's list and selects the process's row; false when it has none.
bool SelectProcess(const ListHost &host, DWORD processId);
// Runs a view command as the main window does, with the host's window as main window. `act` is
// called from inside the modal view once it exists; the view is closed afterwards. Returns the
// view's window (destroyed by then), or null when nothing opened.
HWND RunViewCommand(const ListHost &host, ViewCommand command, const std::function<void(HWND)> &act);
std::vector<std::string> ListLines(HWND list);
// As the list box reports a key press to its dialog.
void PressKey(HWND dialog, HWND list, UINT key);
// Dispatches messages until `done` or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
std::string WindowText(HWND window);

namespace {

struct DriverRun {
    const std::function<void(HWND)> *act;
    UINT_PTR timer;
    int ticks;
    HWND dialog;
};
DriverRun *g_run;

BOOL CALLBACK FindViewDialog(HWND window, LPARAM found)
{
    char name[32];
    if (GetClassNameA(window, name, sizeof name) && lstrcmpiA(name, "KELVANEDLG") == 0) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK DriverTick(HWND, UINT, UINT_PTR, DWORD)
{
    DriverRun *run = g_run;
    if (!run)
        return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindViewDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog && ++run->ticks < 200)
        return;
    KillTimer(nullptr, run->timer); // the act may pump messages itself
    g_run = nullptr;
    run->dialog = dialog;
    if (!dialog)
        return;
    (*run->act)(dialog);
    if (IsWindow(dialog))
        SendMessageA(dialog, WM_CLOSE, 0, 0);
}

} // namespace

bool PrepareViews()
{
    DetectOs();
    SelectColumnSet(IsNt);
    LoadLazyStrings(g_viewTitleTable);
    RegisterDialogClass(g_instance); // fails harmlessly once registered
    return BindProvider();
}

bool SelectProcess(const ListHost &host, DWORD processId)
{
    RefreshProcessList(host.List());
    const int row = host.FindRow(processId);
    if (row < 0)
        return false;
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(host.List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    return true;
}

HWND RunViewCommand(const ListHost &host, ViewCommand command, const std::function<void(HWND)> &act)
{
    HWND savedMain = g_mainWindow;
    g_mainWindow = GetParent(host.List());
    DriverRun run = {&act, 0, 0, nullptr};
    run.timer = SetTimer(nullptr, 0, 20, DriverTick);
    g_run = &run;
    command(g_mainWindow, 0, 0, 0);
    if (g_run) { // nothing opened
        KillTimer(nullptr, run.timer);
        g_run = nullptr;
    }
    g_mainWindow = savedMain;
    return run.dialog;
}

std::vector<std::string> ListLines(HWND list)
{
    std::vector<std::string> lines;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (length == LB_ERR)
            continue;
        std::string line(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
        line.resize(static_cast<size_t>(length));
        lines.push_back(line);
    }
    return lines;
}

void PressKey(HWND dialog, HWND list, UINT key)
{
    SendMessageA(dialog, WM_VKEYTOITEM, MAKEWPARAM(key, 0), reinterpret_cast<LPARAM>(list));
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

std::string WindowText(HWND window)
{
    char text[MAX_PATH] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

} // namespace kvtest

namespace {

struct ChildThread {
    unsigned long id;
    int relative; // SetThreadPriority value
};

// The child runs in the normal priority class, so a thread's current priority is 8 plus its
// relative setting, except that time-critical is 15 outright.
std::string ExpectedLine(const ChildThread &thread, bool hex)
{
    struct Level {
        int relative, priority;
        const char *name;
    };
    static const Level levels[] = {
        {-2, 6, "(Lowest)"}, {0, 8, "(Normal)"}, {2, 10, "(Highest)"}, {15, 15, "(Time Critical)"}};
    for (const Level &level : levels) {
        if (level.relative != thread.relative)
            continue;
        char line[64];
        std::snprintf(line, sizeof line, hex ? "%08lx\t%d %s" : "%lu\t%d %s", thread.id,
                      level.priority, level.name);
        return line;
    }
    return "?";
}

class ThreadsView : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kvtest::PrepareViews());
        host_.reset(new kvtest::ListHost);
        ASSERT_TRUE(child_.Start("kvtest_threads.exe", "--threads -2,0,2,15", true));
        std::string line;
        while (threads_.size() < 4 && child_.ReadLine(&line)) {
            ChildThread thread;
            ASSERT_EQ(2, std::sscanf(line.c_str(), "thread %lu %d", &thread.id, &thread.relative))
                << line;
            threads_.push_back(thread);
        }
        ASSERT_EQ(4u, threads_.size());
        ASSERT_TRUE(kvtest::SelectProcess(*host_, child_.Id()));
    }

    void TearDown() override
    {
        host_.reset();
        g_settings = savedSettings_;
    }

    HWND Run(const std::function<void(HWND)> &act)
    {
        return kvtest::RunViewCommand(*host_, OnThreadsCommand, act);
    }

    bool Contains(const std::vector<std::string> &lines, const std::string &line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    Settings savedSettings_ = g_settings;
    std::unique_ptr<kvtest::ListHost> host_;
    kvtest::ChildProcess child_;
    std::vector<ChildThread> threads_;
};

TEST_F(ThreadsView, ListsEachThreadWithItsPriorityInDecimalAndHex)
{
    for (bool hex : {false, true}) {
        SCOPED_TRACE(hex ? "hex" : "decimal");
        g_settings.hexProcessId = hex;
        std::vector<std::string> shown, afterF5;
        std::string title, header;
        const HWND dialog = Run([&](HWND view) {
            HWND list = GetDlgItem(view, IDC_THREAD_LIST);
            title = kvtest::WindowText(view);
            header = kvtest::WindowText(GetDlgItem(view, IDC_THREAD_HEADER));
            shown = kvtest::ListLines(list);
            kvtest::PressKey(view, list, VK_F5);
            afterF5 = kvtest::ListLines(list);
        });
        ASSERT_TRUE(dialog);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ("Threads -- kvtest_threads.exe", title);
        EXPECT_EQ("ID\tPriority", header);
        for (const ChildThread &thread : threads_)
            EXPECT_TRUE(Contains(shown, ExpectedLine(thread, hex))) << ExpectedLine(thread, hex);
        EXPECT_GE(shown.size(), threads_.size() + 1); // and the main thread
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
        EXPECT_EQ(shown, afterF5);
    }
}

TEST_F(ThreadsView, EmptiesOnTheNextTickOnceTheProcessEndsAndStaysOpen)
{
    g_settings.threadRefresh = 1;
    size_t before = 0;
    bool emptied = false, stillOpen = false;
    Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_THREAD_LIST);
        before = kvtest::ListLines(list).size();
        child_.Kill();
        emptied = kvtest::PumpUntil([&] { return kvtest::ListLines(list).empty(); }, 4000);
        stillOpen = IsWindow(view) && IsWindowEnabled(view);
    });
    EXPECT_GE(before, threads_.size());
    EXPECT_TRUE(emptied);
    EXPECT_TRUE(stillOpen);
}

} // namespace
