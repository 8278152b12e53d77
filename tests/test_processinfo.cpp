// What the program tells about a process beyond its name: the text columns, the copies to the
// clipboard, the Startup Information view and the registered debugger, seen on real children
// started with known arguments and an environment variable: a 64-bit one, and a 32-bit one
// where the 32-bit helper was built and this machine can run it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "actions/copy.h"
#include "actions/debug.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "providers/debugpriv.h"
#include "providers/services.h"
#include "resource.h"
#include "views/startupinfo.h"

namespace {

const unsigned kTextColumns = 7u << 7; // Command Line, User Name and Platform

// A token whose user is the local system account, S-1-5-18.
BOOL WINAPI SystemTokenUser(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD size, PDWORD needed)
{
    static const BYTE kSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    *needed = sizeof(TOKEN_USER) + sizeof kSystemSid;
    if (size < *needed)
        return FALSE;
    BYTE *sid = static_cast<BYTE *>(info) + sizeof(TOKEN_USER);
    memcpy(sid, kSystemSid, sizeof kSystemSid);
    static_cast<TOKEN_USER *>(info)->User.Sid = sid;
    static_cast<TOKEN_USER *>(info)->User.Attributes = 0;
    return TRUE;
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char *locked = data ? static_cast<const char *>(GlobalLock(data)) : nullptr;
    if (locked) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class ProcessInfo : public kvtest::ViewTest {
protected:
    ProcessInfo() : ViewTest(OnStartupInfoCommand) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        SetEnvironmentVariableA("KVTEST_MARK", "startup-42");
        ASSERT_TRUE(child_.Start("kvtest_info64.exe", "--marker alpha"));
        // The 32-bit helper exists where the 32-bit build was made; some kernels refuse to run it.
        if (GetFileAttributesA(kvtest::BesideTests("..\\x86\\kvchild.exe").c_str()) !=
            INVALID_FILE_ATTRIBUTES)
            has32_ = child32_.Start("kvtest_info32.exe", "--marker beta", false,
                                    "..\\x86\\kvchild.exe");
        SetEnvironmentVariableA("KVTEST_MARK", nullptr);
        ShowExtraColumns(host_->List(), kTextColumns);
    }
    void TearDown() override
    {
        g_tokenApi = savedTokens_;
        kvtest::ViewTest::TearDown();
        SetExtraColumns(0);
    }

    std::string Cell(DWORD id, int kind)
    {
        host_->SelectProcess(id);
        return host_->CellText(host_->FindRow(id), FindColumn(static_cast<ColumnKind>(kind)));
    }

    kvtest::ChildProcess child32_;
    bool has32_ = false;
    TokenApi savedTokens_ = TokenFunctions();
};

TEST_F(ProcessInfo, TextColumnsShowCommandLineUserAndPlatformOfEachChild)
{
    EXPECT_NE(Cell(child_.Id(), ColumnCommandLine).find("--marker alpha"), std::string::npos);
    EXPECT_EQ(Cell(child_.Id(), ColumnPlatform), "64-bit");
    const std::string user = Cell(child_.Id(), ColumnUserName);
    EXPECT_NE(user.find('\\'), std::string::npos) << user;
    if (has32_) {
        EXPECT_NE(Cell(child32_.Id(), ColumnCommandLine).find("--marker beta"), std::string::npos);
        EXPECT_EQ(Cell(child32_.Id(), ColumnPlatform), "32-bit");
        EXPECT_EQ(Cell(child32_.Id(), ColumnUserName), user);
    }

    // Texts are read once per record: a new list reads them again, here through a token of
    // another account.
    g_tokenApi.GetTokenInformation = SystemTokenUser;
    host_.reset(new kvtest::ListHost);
    EXPECT_EQ(Cell(child_.Id(), ColumnUserName), "NT AUTHORITY\\SYSTEM");
}

// The services each process hosts: joined in the enumeration's order, refreshed each pass while
// their column shows; the parent's identifier as the system reports it.
TEST_F(ProcessInfo, ServicesAndParentColumnsOfEachProcess)
{
    const ServiceRow rows[] = {{"Beta", 8}, {"Gamma", 4}, {"", 8}, {nullptr, 8},
                               {"Driver", 0}, {"Alpha", 8}};
    std::vector<ServiceText> texts;
    JoinServiceNames(rows, sizeof rows / sizeof rows[0], &texts);
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(4u, texts[0].processId);
    EXPECT_STREQ("Gamma", texts[0].names);
    EXPECT_EQ(8u, texts[1].processId);
    EXPECT_STREQ("Beta, Alpha", texts[1].names);
    for (ServiceText &text : texts)
        free(text.names);

    // The machine's own enumeration: Plug and Play runs in a process of its own.
    ReadServiceTexts(&texts);
    const bool plugPlay = std::any_of(texts.begin(), texts.end(), [](const ServiceText &text) {
        return text.names && std::string(text.names).find("PlugPlay") != std::string::npos;
    });
    EXPECT_TRUE(plugPlay);
    for (ServiceText &text : texts)
        free(text.names);

    static DWORD child;
    child = child_.Id();
    SetServiceReader([](std::vector<ServiceText> *read) {
        read->push_back(ServiceText{child, _strdup("Alpha, Beta")});
    });
    const unsigned parentAndServices = (1u << 10) | (1u << 13);
    ShowExtraColumns(host_->List(), kTextColumns | parentAndServices);
    EXPECT_EQ(Cell(child_.Id(), ColumnServices), "Alpha, Beta");
    EXPECT_EQ(Cell(child_.Id(), ColumnParentId), std::to_string(GetCurrentProcessId()));
    SetServiceReader(ReadServiceTexts);
    ShowExtraColumns(host_->List(), kTextColumns);
    EXPECT_EQ(Cell(child_.Id(), ColumnParentId), "");
}

TEST_F(ProcessInfo, CopiesPathAndRowAndShowsTheStartupRecordWithTheEnvironment)
{
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    const int row = host_->FindRow(child_.Id());
    OnCopyPathCommand(GetParent(host_->List()), 0, 0, 0);
    EXPECT_EQ(ClipboardText(), host_->CellText(row, FindColumn(ColumnPath)));
    OnCopyRowCommand(GetParent(host_->List()), 0, 0, 0);
    std::string cells;
    for (int column = 0; column < g_columnCount; ++column)
        cells += (column ? "\t" : "") + host_->CellText(row, column);
    EXPECT_EQ(ClipboardText(), cells);

    std::vector<std::string> lines;
    ASSERT_TRUE(Run([&](HWND view) { lines = kvtest::ListLines(GetDlgItem(view, IDC_STARTUP_LIST)); }));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0].rfind("Command line\t", 0), 0u);
    EXPECT_NE(lines[0].find("--marker alpha"), std::string::npos);
    EXPECT_EQ(lines[5].rfind("Show window\tSW_", 0), 0u) << lines[5];
    EXPECT_NE(std::find(lines.begin(), lines.end(), "KVTEST_MARK=startup-42"), lines.end());

    // An environment above the megabyte read: the whole entries that fit, then a line saying so.
    const std::string big(300, 'e'); // many short lines: Wine's list box draws long ones badly
    for (int i = 1000; i < 2800; ++i)
        SetEnvironmentVariableA(("KVTEST_BIG_" + std::to_string(i)).c_str(), big.c_str());
    kvtest::ChildProcess large;
    const bool started = large.Start("kvtest_bigenv.exe");
    for (int i = 1000; i < 2800; ++i)
        SetEnvironmentVariableA(("KVTEST_BIG_" + std::to_string(i)).c_str(), nullptr);
    ASSERT_TRUE(started);
    ASSERT_TRUE(host_->SelectProcess(large.Id()));
    ASSERT_TRUE(Run([&](HWND view) { lines = kvtest::ListLines(GetDlgItem(view, IDC_STARTUP_LIST)); }));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(),
              "(The environment was cut at 1 MB: the entries above are those that fit.)");
    const auto isBig = [&](const std::string &line) { return line.rfind("KVTEST_BIG_", 0) == 0; };
    const long shown = std::count_if(lines.begin(), lines.end(), isBig);
    EXPECT_GT(shown, 1200);
    EXPECT_LT(shown, 1800);
    for (const std::string &line : lines)
        EXPECT_TRUE(!isBig(line) || line.substr(16) == big) << line.substr(0, 16);
}

TEST_F(ProcessInfo, DebugStartsTheRegisteredDebuggerOnTheSelectedProcessAfterYes)
{
    kvtest::PlantedDebugger debugger;
    ASSERT_TRUE(debugger.Planted());
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    const HWND question = kvtest::WhileShown(
        "#32770", IDYES, [&] { OnDebugCommand(GetParent(host_->List()), 0, 0, 0); },
        [](HWND box) { SendMessageA(box, WM_COMMAND, IDYES, 0); });
    EXPECT_TRUE(question);
    const std::string line = debugger.TakeRecorded();
    EXPECT_NE(line.find("-p " + std::to_string(child_.Id()) + " -e "), std::string::npos)
        << line;
}

void CALLBACK DebugAgain(HWND, UINT, UINT_PTR timer, DWORD);

// Answers every message box of a Debug command: Yes to the question, OK to the rest, whose
// texts and heights it keeps. With `debugAgain`, a second Debug follows shortly after the Yes.
struct DebugBoxes {
    std::vector<std::string> texts;
    std::vector<int> heights;
    bool debugAgain = false;
    HWND Run(HWND owner)
    {
        return kvtest::DriveModal([&] { OnDebugCommand(owner, 0, 0, 0); },
                                  {{"#32770", 0, [&](HWND box) { Answer(box); }}},
                                  kvtest::kAnswerEvery);
    }
    void Answer(HWND box)
    {
        char text[4096] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        RECT frame;
        GetWindowRect(box, &frame);
        texts.push_back(text);
        heights.push_back(frame.bottom - frame.top);
        const bool yes = GetDlgItem(box, IDYES) != nullptr;
        if (yes && debugAgain)
            SetTimer(nullptr, 0, 300, DebugAgain);
        SendMessageA(box, WM_COMMAND, yes ? IDYES : IDOK, 0);
    }
};

DebugBoxes *g_secondDebug; // the Debug a timer starts while the first one waits
HWND g_debugOwner;

void CALLBACK DebugAgain(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_secondDebug->Run(g_debugOwner);
}

// While Debug waits for a debugger that never signals, this thread's messages are still
// dispatched and a second Debug is refused; a value too long for the command names the limit,
// and a command that cannot start is shown short enough for the screen.
TEST_F(ProcessInfo, DebugWaitsAnsweringTheWindowAndTellsWhatIsWrongWithTheValue)
{
    kvtest::PlantedDebugger debugger("--lifetime 1500 -p %ld -x %ld");
    ASSERT_TRUE(debugger.Planted());
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    g_debugOwner = GetParent(host_->List());
    DebugBoxes first, second;
    first.debugAgain = true;
    g_secondDebug = &second;
    const DWORD start = GetTickCount();
    first.Run(g_debugOwner);
    const DWORD waited = GetTickCount() - start;
    EXPECT_FALSE(debugger.TakeRecorded().empty());
    EXPECT_GE(waited, 1400u); // until the debugger ended, not the ten seconds of a signal
    EXPECT_LT(waited, 8000u);
    ASSERT_EQ(1u, first.texts.size());
    ASSERT_EQ(1u, second.texts.size()) << "no message came through while Debug waited";
    EXPECT_NE(second.texts[0].find("still attaching"), std::string::npos) << second.texts[0];

    DebugBoxes tooLong;
    debugger.SetValue(std::string(2048, 'x'));
    tooLong.Run(g_debugOwner);
    ASSERT_EQ(2u, tooLong.texts.size());
    EXPECT_NE(tooLong.texts[1].find("at most 2047 characters"), std::string::npos)
        << tooLong.texts[1];

    DebugBoxes noStart;
    const std::string program = "C:\\kvtest\\" + std::string(1700, 'd') + ".exe";
    debugger.SetValue(program + " -p %ld -e %ld");
    noStart.Run(g_debugOwner);
    ASSERT_EQ(2u, noStart.texts.size());
    const std::string &box = noStart.texts[1];
    EXPECT_EQ(box.rfind("The debugger could not be started:\nC:\\kvtest\\ddd", 0), 0u) << box;
    EXPECT_NE(box.find("...ddd"), std::string::npos) << box;
    EXPECT_NE(box.find("ddd.exe -p " + std::to_string(child_.Id()) + " -e "), std::string::npos)
        << box;
    EXPECT_LT(box.size(), 600u);
    EXPECT_LT(noStart.heights[1], 480);
}

} // namespace
